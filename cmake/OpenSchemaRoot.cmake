# Run after protoc: the run-time scene root (KestrelLibDynamic) derives from the generated
# root message, but protoc declares every message class final. This drops `final` from the
# root class only; the wire format and every other class are untouched.
file(READ ${HEADER} text)
string(REPLACE "class KestrelLib final :" "class KestrelLib :" opened "${text}")
if(opened STREQUAL text)
  message(FATAL_ERROR "${HEADER}: the root class declaration was not found")
endif()
file(WRITE ${HEADER} "${opened}")
