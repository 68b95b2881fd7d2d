// The web player's page: loads veltro12.js/.wasm, fetches the production's archive into the
// in-memory file system when Start is pressed, and runs the player's main() with the
// settings the page's controls chose.
//
// Query parameters (all optional):
//   data=FILE.zip        the archive to play (default data.zip, beside the page)
//   size=WxH             the drawing size (in place of the Size control)
//   quality=fast|normal|high
//   from=S, to=S         play only that stretch of the production
//   shots=T1,T2,...      fixed-step mode: render exactly those demo times, one frame each,
//                        as the desktop player's --shot does, and hand each picture to the
//                        page (window.pylon.shots[T] is a PNG data URL); the run then ends
//   autostart=1          start without waiting for the button (sound may stay off)
// window.pylon is the page's state for scripts and tests: phase ("loading", "ready",
// "fetching", "running", "ended"), exitCode, messages, log, shots, timings (ms since the
// page opened: ready, start, firstFrame) and frames.
'use strict';

(function () {
  const params = new URLSearchParams(location.search);
  const $ = (id) => document.getElementById(id);
  const canvas = $('canvas');
  const pylon = window.pylon = {
    phase: 'loading', exitCode: null, messages: [], log: [], shots: {}, frames: 0,
    timings: { ready: null, start: null, firstFrame: null },
    audioState() {
      const sdl = window.Module && Module.SDL2;
      return sdl && sdl.audioContext ? sdl.audioContext.state : 'none';
    },
  };

  function status(text) { $('status').textContent = text; }

  function showMessage(caption, text, kind) {
    pylon.messages.push({ caption, text, kind });
    $('message-caption').textContent = caption;
    $('message-text').textContent = text;
    $('message').className = kind || 'error';
    $('message').hidden = false;
  }
  $('message-close').addEventListener('click', () => { $('message').hidden = true; });

  const dataUrl = params.get('data') || 'data.zip';
  const dataName = '/' + (dataUrl.split('/').pop().split('?')[0] || 'data.zip');
  const shots = params.get('shots');
  if (params.get('size')) {
    const option = document.createElement('option');
    option.value = option.textContent = params.get('size');
    $('size').appendChild(option);
    $('size').value = params.get('size');
  }
  if (params.get('quality')) $('quality').value = params.get('quality');

  function playerArguments() {
    const args = ['--data', dataName, '--no-dialog', '--windowed', '--size', $('size').value];
    const quality = $('quality').value;
    if (quality === 'fast') args.push('--render-scale', '0.5');
    if (quality === 'high') args.push('--aa', '4');
    if (params.get('from')) args.push('--from', params.get('from'));
    if (params.get('to')) args.push('--to', params.get('to'));
    if (shots) args.push('--shots', shots, '/shots');
    return args;
  }

  // The archive, streamed so that the bar follows the download.
  async function fetchArchive() {
    $('progress').hidden = false;
    status('Fetching ' + dataUrl + ' …');
    let response;
    try {
      response = await fetch(dataUrl);
    } catch (error) {
      throw new Error(dataUrl + ' could not be fetched: ' + error.message);
    }
    if (!response.ok) throw new Error(dataUrl + ' could not be fetched: HTTP ' + response.status + ' ' + response.statusText);
    const total = Number(response.headers.get('Content-Length')) || 0;
    const reader = response.body.getReader();
    const chunks = [];
    let received = 0;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      chunks.push(value);
      received += value.length;
      if (total) $('bar').style.width = Math.min(100, (100 * received) / total).toFixed(1) + '%';
      status('Fetching ' + dataUrl + ': ' + (received / 1048576).toFixed(1) + (total ? ' of ' + (total / 1048576).toFixed(1) : '') + ' MB');
    }
    const bytes = new Uint8Array(received);
    let at = 0;
    for (const chunk of chunks) { bytes.set(chunk, at); at += chunk.length; }
    return bytes;
  }

  async function start() {
    if (pylon.phase !== 'ready') return;
    pylon.phase = 'fetching';
    pylon.timings.start = performance.now();
    $('start').disabled = true;
    let bytes;
    try {
      bytes = await fetchArchive();
    } catch (error) {
      pylon.phase = 'ended';
      status('');
      showMessage('The production could not be loaded', error.message, 'error');
      return;
    }
    Module.FS.writeFile(dataName, bytes);
    if (shots) Module.FS.mkdir('/shots');
    document.body.classList.add('playing');
    canvas.focus();
    pylon.phase = 'running';
    const args = playerArguments();
    pylon.log.push('veltro12 ' + args.join(' '));
    Module.callMain(args);
  }

  function runEnded(code) {
    pylon.exitCode = code;
    if (shots) {
      for (const time of shots.split(',')) {
        const path = '/shots/' + time + '.png';
        try {
          const png = Module.FS.readFile(path);
          let text = '';
          for (let i = 0; i < png.length; i += 0x8000) text += String.fromCharCode.apply(null, png.subarray(i, i + 0x8000));
          pylon.shots[time] = 'data:image/png;base64,' + btoa(text);
        } catch (error) {
          pylon.log.push('no shot at ' + time + ' s (' + path + ')');
        }
      }
    }
    pylon.phase = 'ended';
    document.body.classList.remove('playing');
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    $('progress').hidden = true;
    $('start').textContent = 'Ended';
    status(code === 0 ? 'The production has ended.' : 'The player ended with exit code ' + code + '.');
  }

  function toggleFullscreen() {
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    else $('stage').requestFullscreen().catch((error) => status('Full screen refused: ' + error.message));
  }
  $('fullscreen').addEventListener('click', toggleFullscreen);
  document.addEventListener('keydown', (event) => {
    if ((event.key === 'f' || event.key === 'F') && !event.ctrlKey && !event.altKey && !event.metaKey) toggleFullscreen();
  });
  $('start').addEventListener('click', start);

  window.Module = {
    canvas,
    noInitialRun: true,
    print(text) { pylon.log.push(text); console.log(text); },
    printErr(text) { pylon.log.push(text); console.warn(text); },
    pylonShowMessage: showMessage,
    pylonRunEnded: runEnded,
    pylonFrame() {
      if (pylon.frames++ === 0) pylon.timings.firstFrame = performance.now();
    },
    onRuntimeInitialized() {
      pylon.phase = 'ready';
      pylon.timings.ready = performance.now();
      $('start').disabled = false;
      $('start').textContent = 'Start';
      status('');
      if (params.get('autostart') === '1') start();
    },
    onAbort(what) {
      pylon.phase = 'ended';
      showMessage('The player stopped', String(what), 'error');
    },
  };
  canvas.addEventListener('webglcontextlost', (event) => {
    event.preventDefault();
    showMessage('WebGL', 'The WebGL context was lost; reload the page to play again.', 'error');
  });

  const script = document.createElement('script');
  script.src = 'veltro12.js';
  script.onerror = () => showMessage('The player could not be loaded', 'veltro12.js could not be fetched.', 'error');
  document.body.appendChild(script);
})();
