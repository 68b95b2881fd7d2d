// BuiltinProduction: Veltro 12's production file (Demo/production/veltro12.txtpb) built
// into the program. The player plays it when the archive holds no production.txtpb, and
// `pylon build-data` writes the same text into data.zip, so the two can never differ.
#pragma once

#include <string_view>

std::string_view veltro12ProductionText();
