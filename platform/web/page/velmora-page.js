// velmora-page.js -- the page around the show: it unpacks the data, shows the
// console's window on a canvas, passes key presses on, plays the music the
// player schedules, and reports how a run ended. The show itself is velmora.js
// and velmora.wasm (platform/web), which calls VelmoraPage.
'use strict';

const VelmoraPage = (() => {
  const params = new URLSearchParams(location.search);
  const element = (id) => document.getElementById(id);
  const canvas = element('screen');
  const stage = element('stage');
  const status = element('status');
  const help = element('help');
  const frameTimes = element('frame-times');
  const frameHash = element('frame-hash');
  const context2d = canvas.getContext('2d', { alpha: false });
  const frameMs = 1000 / 60;

  const captureText = params.get('capture');
  const captureParts = captureText === null ? [] : captureText.split(',');
  const captureFrames = captureParts.every((part) => /^\d{1,9}$/.test(part)) ? captureParts.map(Number) : [];
  const vox = params.get('vox') === '1';
  const timing = params.get('timing') === '1';

  let menuOpen = false;
  let fullscreenAsked = false;  // by the menu key itself, which the browser requires
  let finished = false;
  let deadline = -1;         // animation-frame time the next presentation is due
  let resumedAt = -1;        // when the show got control back after its last presentation
  const computeMs = [];      // per frame: from that moment to the next presentation
  const presentMs = [];      // per frame: between two presentations
  let lastPresentAt = -1;
  let runStartedAt = -1;     // when the show started, after its data

  function say(text) {
    status.textContent = text;
  }

  function fail(text) {
    finished = true;
    say(text);
    status.classList.add('error');
    if (captureFrames.length > 0) {
      document.title = 'error: ' + text;
      frameHash.textContent = 'error: ' + text;
    }
  }

  // ---- data: qd/ as a tar file, gzip'd unless the server already unpacked it ----

  async function fetchData() {
    const response = await fetch('qd.tar.gz');
    if (!response.ok) throw new Error('cannot load the show\'s data (qd.tar.gz: HTTP ' + response.status + ')');
    let bytes = new Uint8Array(await response.arrayBuffer());
    if (bytes[0] === 0x1f && bytes[1] === 0x8b) {
      if (typeof DecompressionStream === 'undefined') throw new Error('this browser cannot unpack gzip data');
      const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('gzip'));
      try {
        bytes = new Uint8Array(await new Response(stream).arrayBuffer());
      } catch (error) {
        throw new Error('the show\'s data (qd.tar.gz) is damaged or cut short');
      }
    }
    return bytes;
  }

  // The regular files of a tar archive (ustar or GNU, with GNU long names).
  function untar(bytes) {
    const text = (from, length) => {
      let s = '';
      for (let i = from; i < from + length && bytes[i] !== 0; ++i) s += String.fromCharCode(bytes[i]);
      return s;
    };
    const files = [];
    let longName = null;
    for (let at = 0; at + 512 <= bytes.length && bytes[at] !== 0;) {
      const size = parseInt(text(at + 124, 12).trim() || '0', 8);
      const type = String.fromCharCode(bytes[at + 156] || 48);
      const prefix = text(at + 257, 6).startsWith('ustar') ? text(at + 345, 155) : '';
      const data = bytes.subarray(at + 512, at + 512 + size);
      if (!Number.isFinite(size) || at + 512 + size > bytes.length) throw new Error('the show\'s data is truncated');
      if (type === 'L') {
        longName = text(at + 512, size);
      } else {
        const name = longName || (prefix ? prefix + '/' : '') + text(at, 100);
        longName = null;
        if (type === '0') files.push({ name, data });
      }
      at += 512 + Math.ceil(size / 512) * 512;
    }
    return files;
  }

  function loadData(module) {
    module.addRunDependency('qd');
    if (finished) return;  // a bad address: the show does not start
    say('Loading the show\'s data…');
    fetchData().then((bytes) => {
      const files = untar(bytes);
      if (!files.some((f) => f.name.startsWith('qd/'))) throw new Error('the show\'s data holds no qd/ folder');
      for (const file of files) {
        const slash = file.name.lastIndexOf('/');
        if (slash > 0) module.FS.mkdirTree('/' + file.name.slice(0, slash));
        module.FS.writeFile('/' + file.name, file.data);
      }
      say(captureFrames.length > 0 ? 'Running frame-locked…' : '');
      runStartedAt = performance.now();
      module.removeRunDependency('qd');
    }).catch((error) => fail('The show cannot start: ' + String(error.message || error)));
  }

  // ---- the window ----

  function openWindow(title, width, height, fullscreen) {
    menuOpen = title === 'Choose Mode';
    if (captureFrames.length === 0) document.title = title;
    help.hidden = !menuOpen || captureFrames.length > 0;
    stage.classList.remove('closed');
    stage.style.width = width + 'px';
    stage.style.height = height + 'px';
    if (fullscreen && !fullscreenAsked && !document.fullscreenElement && stage.requestFullscreen) {
      stage.requestFullscreen().catch(() => {});  // without a key press the browser refuses: windowed then
    } else if (!fullscreen && document.fullscreenElement) {
      document.exitFullscreen().catch(() => {});
    }
    deadline = -1;
  }

  function closeWindow() {
    menuOpen = false;
    help.hidden = true;
    stage.classList.add('closed');
  }

  // `pixels`: width x height R, G, B, A bytes (a view of the show's memory).
  function draw(pixels, width, height) {
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
    const bytes = new Uint8ClampedArray(pixels.buffer, pixels.byteOffset, width * height * 4);
    context2d.putImageData(new ImageData(bytes, width, height), 0, 0);
    if (timing) noteResume();
  }

  function nextAnimationFrame() {
    return new Promise((resolve) => requestAnimationFrame(resolve));
  }

  // Resolves on the animation frame that is due for a steady 60 presentations a
  // second: every frame on a 60 Hz display, every other one at 120 Hz, and so on.
  function nextPresentation() {
    if (timing && resumedAt >= 0) computeMs.push(performance.now() - resumedAt);
    return new Promise((resolve) => {
      const step = (now) => {
        if (deadline < 0 || now - deadline > 4 * frameMs) deadline = now;  // the first, or after a stall
        if (now < deadline - 2) {
          requestAnimationFrame(step);
          return;
        }
        deadline += frameMs;
        resolve();
      };
      requestAnimationFrame(step);
    });
  }

  // ---- live frame times (?timing=1) ----

  function noteResume() {
    const now = performance.now();
    if (lastPresentAt >= 0) presentMs.push(now - lastPresentAt);
    lastPresentAt = now;
    resumedAt = now;
    if (computeMs.length > 0 && computeMs.length % 60 === 0) showFrameTimes();
  }

  function percentile(values, p) {
    const sorted = values.slice().sort((a, b) => a - b);
    return sorted.length === 0 ? 0 : sorted[Math.min(sorted.length - 1, Math.floor(p * sorted.length))];
  }

  // Frame time: from the show getting control back after a presentation to its
  // next one (drawing included); the last 10 s, and the whole run.
  function showFrameTimes() {
    const f = (x) => x.toFixed(2);
    const recent = computeMs.slice(-600);
    frameTimes.hidden = false;
    frameTimes.textContent = 'frames ' + computeMs.length +
      ' · last 600: median ' + f(percentile(recent, 0.5)) + ' ms, 99th ' + f(percentile(recent, 0.99)) +
      ' ms, worst ' + f(percentile(recent, 1)) + ' ms · whole run: median ' + f(percentile(computeMs, 0.5)) +
      ' ms, 99th ' + f(percentile(computeMs, 0.99)) + ' ms · presentation interval median ' +
      f(percentile(presentMs.slice(-600), 0.5)) + ' ms' + audio.describe();
  }

  // ---- keys: letters as their capitals, digits, Escape, Enter, Space; others 256 on ----

  function keyCode(event) {
    const key = event.key;
    if (key.length === 1) {
      const c = key.toUpperCase().charCodeAt(0);
      if ((c >= 65 && c <= 90) || (c >= 48 && c <= 57) || c === 32) return c;
    }
    if (key === 'Escape') return 27;
    if (key === 'Enter') return 13;
    return 256 + (event.keyCode & 0xffff);
  }

  window.addEventListener('keydown', (event) => {
    // Keys with Ctrl, Alt or Meta and the function keys stay the browser's own.
    if (event.ctrlKey || event.altKey || event.metaKey || /^F\d+$/.test(event.key)) return;
    if (event.repeat || finished || captureFrames.length > 0 || typeof Module._web_key_pressed !== 'function') return;
    event.preventDefault();
    const code = keyCode(event);
    if (menuOpen && code >= 65 && code <= 67) {
      // Sound and full screen need a key press to start from: this one.
      audio.unlock(vox ? 22050 : 44100);
      if (code === 65 && stage.requestFullscreen) {
        fullscreenAsked = true;
        stage.requestFullscreen().catch(() => {});
      }
    }
    Module._web_key_pressed(code);
  });

  // ---- sound: buffers the player renders, played on the audio context's clock ----

  const audio = {
    context: null,
    sources: new Set(),
    lastClock: -1,
    clockSeenAt: 0,

    unlock(rate) {
      if (this.context) return;
      const Context = window.AudioContext || window.webkitAudioContext;
      if (!Context) return;
      try {
        this.context = new Context({ sampleRate: rate, latencyHint: 'interactive' });
      } catch (e) {
        try { this.context = new Context({ latencyHint: 'interactive' }); } catch (e2) { this.context = null; }
      }
      if (this.context) this.context.resume().catch(() => {});
    },

    async start() {
      const c = this.context;
      if (!c) return false;
      if (c.state !== 'running') c.resume().catch(() => {});
      for (const until = performance.now() + 500; c.state !== 'running' && performance.now() < until;)
        await new Promise((resolve) => setTimeout(resolve, 20));
      return c.state === 'running';
    },

    clock() {
      return this.context ? this.context.currentTime : 0;
    },

    rate() {
      return this.context ? this.context.sampleRate : 44100;
    },

    // The context time heard when the frame the show is drawing now reaches
    // the canvas: its clock less the latencies it reports, plus the wait for
    // that frame's presentation. The clock advances a whole audio callback at
    // a time; between two steps it is counted on from the last (at most 50 ms).
    heard() {
      const c = this.context;
      if (!c) return 0;
      const clock = c.currentTime;
      const nowMs = performance.now();
      if (clock !== this.lastClock) {
        this.lastClock = clock;
        this.clockSeenAt = nowMs;
      }
      const untilShown = deadline > nowMs ? (deadline - nowMs) / 1000 : 0;
      return clock + Math.min((nowMs - this.clockSeenAt) / 1000, 0.05) + untilShown -
        (c.outputLatency || 0) - (c.baseLatency || 0);
    },

    // `samples`: frames x 2 interleaved floats (a view of the show's memory).
    play(samples, frames, rate, when) {
      const c = this.context;
      if (!c) return;
      const buffer = c.createBuffer(2, frames, rate);
      const left = buffer.getChannelData(0);
      const right = buffer.getChannelData(1);
      for (let i = 0; i < frames; ++i) {
        left[i] = samples[2 * i];
        right[i] = samples[2 * i + 1];
      }
      const source = c.createBufferSource();
      source.buffer = buffer;
      source.connect(c.destination);
      source.onended = () => this.sources.delete(source);
      this.sources.add(source);
      source.start(when);
    },

    stop() {
      for (const source of this.sources) {
        try { source.stop(); } catch (e) { /* not started yet */ }
      }
      this.sources.clear();
    },

    describe() {
      const c = this.context;
      if (!c || c.state !== 'running') return ' · no sound';
      const ms = ((c.outputLatency || 0) + (c.baseLatency || 0)) * 1000;
      return ' · sound at ' + c.sampleRate + ' Hz, latency taken off ' + ms.toFixed(1) + ' ms';
    },

    close() {
      this.stop();
      if (this.context) this.context.close().catch(() => {});
      this.context = null;
    },
  };

  // ---- how a run ends ----

  function captureDone(hashes, error) {
    if (finished) return;
    if (error) return fail(error);
    finished = true;
    document.title = hashes;
    frameHash.textContent = hashes;
    say('Frame-locked run done in ' + ((performance.now() - runStartedAt) / 1000).toFixed(2) + ' s.');
  }

  function ended(code) {
    if (finished && captureFrames.length > 0) return;
    finished = true;
    audio.close();
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    closeWindow();
    document.title = 'Velmora';
    if (!status.classList.contains('error'))
      say(code === 0 ? 'The show has ended. Reload the page to watch it again.' : 'The show stopped (exit code ' + code + ').');
    if (timing && computeMs.length > 0) showFrameTimes();
  }

  function menuKey() {
    const key = (params.get('key') || '').toUpperCase();
    if (key === 'A' || key === 'B' || key === 'C') return key.charCodeAt(0);
    return captureFrames.length > 0 ? 66 : 0;  // a frame-locked run answers B unless told
  }

  if (captureText !== null && captureFrames.length === 0) fail('capture= takes frame numbers, as capture=900 or capture=300,4800');

  return {
    vox, captureFrames, audio, loadData, openWindow, closeWindow, draw, nextPresentation, nextAnimationFrame,
    fail, captureDone, ended, menuKey,
  };
})();

// exit() inside the show leaves by throwing ExitStatus through the page's own
// callbacks; that is how it ends, not an error.
const isExit = (error) => error && error.name === 'ExitStatus';
window.addEventListener('error', (event) => { if (isExit(event.error)) event.preventDefault(); });
window.addEventListener('unhandledrejection', (event) => { if (isExit(event.reason)) event.preventDefault(); });

var Module = {
  preRun: [() => VelmoraPage.loadData(Module)],
  print: (text) => console.log(text),
  printErr: (text) => console.warn(text),
  // exit() from inside the show (Escape at the menu) ends the page's run too;
  // an unwind for a pause of the show passes through here as well and is no end.
  quit: (code, toThrow) => {
    if (typeof Asyncify === 'undefined' || !Asyncify.currData) VelmoraPage.ended(code);
    throw toThrow;
  },
  onAbort: (what) => VelmoraPage.fail('The show stopped: ' + what),
};
