// The web edition's script. The converter is the lyricrtf program itself,
// compiled to WebAssembly, in a worker that this script makes from the
// worker's script and the converter's, both in the page: the page stays
// responsive while it converts, and Stop ends the worker and makes a new
// one. The worker asks the program for the document's name and type,
// converts, and hands over the lines it writes and the document as they
// come. What the program's exit codes and a schedule's kinds are, it asks
// the program too (facts): this script holds only what the page shows.
'use strict';

const page = {
  form: document.getElementById('form'),
  schedule: document.getElementById('schedule'),
  template: document.getElementById('template'),
  paper: document.getElementById('paper'),
  own: document.getElementById('own-template'),
  ownName: document.getElementById('own-name'),
  forgetOwn: document.getElementById('forget-own'),
  picture: document.getElementById('picture'),
  caption: document.getElementById('picture-caption'),
  figure: document.getElementById('template-picture'),
  paperChoice: document.getElementById('paper-choice'),
  result: document.getElementById('result'),
  convert: document.getElementById('convert'),
  stop: document.getElementById('stop'),
  status: document.getElementById('status'),
  outcome: document.getElementById('outcome'),
  remedy: document.getElementById('remedy'),
  remedyText: document.getElementById('remedy-text'),
  anyway: document.getElementById('convert-anyway'),
  download: document.getElementById('download'),
  messages: document.getElementById('messages'),
  previewBox: document.getElementById('preview-box'),
  preview: document.getElementById('preview'),
  print: document.getElementById('print'),
};

// The most a document may grow to: far more than any service makes, and
// what a browser holds twice (the parts and the download) without failing.
const limit = 256 * 1024 * 1024;
// A web page larger than this is offered for download, not shown.
const previewLimit = 8 * 1024 * 1024;
// Messages shows the last lines the program wrote, this many at most: a
// report of thousands of songs has a title for each, and laying out all of
// them took the page longer than the conversion.
const shownLines = 1000;

let schedule = null;  // {name, bytes} to convert
let worker = null;    // the converter, once it is ready
let pictures = {};    // the templates' first pages, by name
let facts = null;     // the program's exit codes and a schedule's kinds
let run = null;       // the conversion under way: {started, name, type, renamed, parts}
let url = null;       // the last document's object URL, let go at the next
let failed = null;    // the schedule whose failure the remedy answers, and its kind
let messages = { lines: [], earlier: 0, drawn: true };  // what Messages shows

// The outcome of a run in words, by the name of its exit code.
const outcomes = {
  ok: 'Done: the conversion ran to its end.',
  noArguments: 'Nothing was converted: no command line was given.',
  usage: 'Nothing was converted: no schedule was named.',
  fatal: 'Stopped: the conversion failed, as the messages say. No document was made.',
};

// What the schedule is when the program finds no byte-order mark at its
// start (the program's own words are in the messages), by the kind the
// program names. The program can read some of them anyway (facts.anyway).
const remedies = {
  utf16:
      'The schedule was saved as UTF-16 ("Unicode"). Save it again with the encoding "UTF-8 with BOM", or convert it anyway: this page then reads it as that.',
  utf8WithoutMark:
      'The schedule is UTF-8 text without its byte-order mark, as Notepad\'s plain "UTF-8" saves it. Save it again with the encoding "UTF-8 with BOM", or convert it anyway: this page then adds the mark.',
  empty:
      'The schedule is empty. Save the "Schedule Detail" report into it again, with the encoding "UTF-8 with BOM".',
  document: 'This is a document, not the schedule report. Pick the report\'s text file instead.',
  other:
      'The schedule is not text in UTF-8. Save the "Schedule Detail" report again as text, with the encoding "UTF-8 with BOM".',
};

function setStatus(text, busy) {
  page.status.textContent = text;
  page.status.setAttribute('aria-busy', busy ? 'true' : 'false');
}

function ready() {
  page.convert.disabled = !schedule || !worker || !!run;
  page.stop.disabled = !run;
  if (!run) setStatus(!worker ? 'Loading the converter…' : schedule ? 'Ready to convert ' + schedule.name + '.' : 'Pick a schedule to begin.', !worker);
}

// A new converter: the worker's script followed by the converter's.
function startWorker() {
  worker = null;
  const source = document.getElementById('worker-script').textContent + document.getElementById('engine-script').textContent;
  const next = new Worker(URL.createObjectURL(new Blob([source], { type: 'text/javascript' })));
  next.onmessage = (event) => heard(next, event.data);
  next.onerror = (event) => { event.preventDefault(); finish('Stopped: the converter failed (' + event.message + '). No document was made.'); };
  ready();
}

function heard(from, message) {
  switch (message.type) {
    case 'ready':
      worker = from;
      pictures = message.pictures;
      facts = message.facts;
      showPicture();
      ready();
      break;
    case 'named':
      run.name = message.name;
      run.type = message.documentType;
      run.renamed = message.renamed;
      break;
    case 'messages':
      addMessages(message.text.split('\n'));
      break;
    case 'part':
      run.parts.push(message.bytes);
      break;
    case 'done':
      done(message.code, message.start);
      break;
    case 'limit':
      restart('Stopped: the document grew past ' + limit / 1024 / 1024 + ' MB, more than this page can hold. The template expands without end, or the report is huge: check the template, or convert with the lyricrtf program.');
      break;
    case 'failed':
      restart('Stopped: the converter failed (' + message.message + '). No document was made.');
      break;
  }
}

function addMessages(lines) {
  messages.lines.push(...lines);
  const over = messages.lines.length - shownLines;
  if (over > 0) {
    messages.lines.splice(0, over);
    messages.earlier += over;
  }
  if (!messages.drawn) return;
  messages.drawn = false;
  requestAnimationFrame(drawMessages);
}

function drawMessages() {
  const earlier = messages.earlier ? `(${messages.earlier} earlier lines are not shown)\n` : '';
  page.messages.textContent = earlier + messages.lines.join('\n');
  messages.drawn = true;
}

function templateName() {
  const option = page.template.selectedOptions[0];
  return option.value + (option.hasAttribute('data-paper') ? page.paper.value : '');
}

// The picture and the paper follow the template in use: a template of
// one's own has neither, and a template without a paper offers none.
let pictureUrl = null;
function showPicture() {
  const own = !!page.own.files[0];
  const name = page.template.value;
  page.paperChoice.hidden = own || !page.template.selectedOptions[0].hasAttribute('data-paper');
  page.figure.hidden = own || !pictures[name];
  if (page.figure.hidden) return;
  if (pictureUrl) URL.revokeObjectURL(pictureUrl);
  pictureUrl = URL.createObjectURL(new Blob([pictures[name]], {type: 'image/png'}));
  page.picture.src = pictureUrl;
  const label = page.template.selectedOptions[0].textContent;
  page.picture.alt = 'The first page of the sample made with the template ' + label;
  page.caption.textContent = templateName() + '.dat';
}

// The schedule is read before Convert is offered for it: until then a
// click would convert the one picked before.
let choices = 0;
async function chooseSchedule(file) {
  const choice = ++choices;
  schedule = null;
  // A remedy answers the schedule that failed, not the next one.
  failed = null;
  page.remedy.hidden = true;
  ready();
  const bytes = file ? await file.arrayBuffer() : null;
  if (choice !== choices) return;  // another was picked meanwhile
  schedule = file ? { name: file.name, bytes } : null;
  ready();
}

function clearResult() {
  if (url) URL.revokeObjectURL(url);
  url = null;
  page.download.hidden = true;
  page.download.removeAttribute('href');
  page.remedy.hidden = true;
  page.previewBox.hidden = true;
  page.preview.removeAttribute('srcdoc');
  messages = { lines: [], earlier: 0, drawn: true };
  page.messages.textContent = '';
}

async function convert(event, anyway = false) {
  if (event) event.preventDefault();
  if (!schedule || !worker || run) return;
  clearResult();
  failed = null;
  const own = page.own.files[0];
  run = {started: performance.now(), schedule, name: null, type: null, renamed: false, parts: []};
  page.outcome.textContent = 'Converting ' + schedule.name + '…';
  setStatus('Converting ' + schedule.name + '…', true);
  ready();
  page.stop.focus();
  // The worker gets its own copy of the schedule: the page keeps one for
  // another conversion.
  const bytes = schedule.bytes.slice(0);
  worker.postMessage(
      {
        type: 'convert',
        schedule: {name: schedule.name, bytes},
        limit,
        anyway,
        template: '/templates/' + templateName() + '.dat',
        own: own ? {name: own.name, bytes: await own.arrayBuffer()} : null,
      },
      [bytes]);
}

function took() {
  const seconds = (performance.now() - run.started) / 1000;
  return seconds < 1 ? Math.round(seconds * 1000) + ' ms' : seconds.toFixed(1) + ' s';
}

// The end of a run, whatever ended it: the outcome is shown and said, and
// the keyboard goes on from it.
function finish(outcome) {
  drawMessages();
  const focused = document.activeElement === page.stop || document.activeElement === document.body;
  run = null;
  page.outcome.textContent = outcome;
  ready();
  if (focused) page.outcome.focus();
}

function done(code, kind) {
  const name = run.name;
  const ok = code === facts.exit.ok;
  if (ok) offer(name, run.type, run.parts);
  const said = Object.keys(facts.exit).find((key) => facts.exit[key] === code);
  let outcome = outcomes[said] || 'Stopped with exit code ' + code + '.';
  if (ok) outcome += ' It took ' + took() + '.';
  if (ok && run.renamed)
    outcome += ' The document is named ' + name + ', since ' + run.schedule.name +
        ' is the schedule itself.';
  if (!ok && remedies[kind]) {
    failed = {schedule: run.schedule, kind};
    page.remedyText.textContent = remedies[kind];
    page.anyway.hidden = !facts.anyway.includes(kind);
    page.remedy.hidden = false;
  }
  finish(outcome);
  // The outcome and what it offers come into view.
  (ok ? page.download : page.result).scrollIntoView({block: 'nearest'});
}

function offer(name, type, parts) {
  const blob = new Blob(parts, { type });
  url = URL.createObjectURL(blob);
  page.download.href = url;
  page.download.download = name;
  page.download.textContent = 'Download ' + name;
  page.download.hidden = false;
  if (type === 'text/html' && blob.size <= previewLimit) {
    blob.text().then((text) => {
      page.preview.srcdoc = text;
      page.previewBox.hidden = false;
    });
  }
}

// Ends the worker, and with it any conversion, and makes a new one.
function restart(outcome) {
  if (worker) worker.terminate();
  finish(outcome);
  startWorker();
}

function stop() {
  if (run) restart('Stopped: you stopped the conversion after ' + took() + '. No document was made.');
}

// Converts the schedule that failed again, read as the program reads a
// file saved rightly; only while that schedule is still the one picked.
page.anyway.addEventListener('click', () => {
  if (!failed || failed.schedule !== schedule || !facts.anyway.includes(failed.kind)) return;
  convert(null, true);
});
page.schedule.addEventListener('change', () => chooseSchedule(page.schedule.files[0]));
page.template.addEventListener('change', showPicture);
page.paper.addEventListener('change', showPicture);
page.own.addEventListener('change', () => {
  const own = page.own.files[0];
  page.ownName.textContent = own ? 'Using ' + own.name + ' instead of the choice above.' : '';
  page.forgetOwn.hidden = !own;
  page.template.disabled = !!own;
  showPicture();
});
page.forgetOwn.addEventListener('click', () => {
  page.own.value = '';
  page.own.dispatchEvent(new Event('change'));
  page.template.focus();
});
page.form.addEventListener('submit', convert);
page.stop.addEventListener('click', stop);
page.print.addEventListener('click', () => page.preview.contentWindow.print());

// A schedule dropped anywhere on the page.
document.addEventListener('dragover', (event) => {
  event.preventDefault();
  document.body.classList.add('dragging');
});
document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
document.addEventListener('drop', (event) => {
  event.preventDefault();
  document.body.classList.remove('dragging');
  const file = event.dataTransfer.files[0];
  if (!file) return;
  page.schedule.files = event.dataTransfer.files;  // the file input shows its name
  chooseSchedule(file);
});

startWorker();
