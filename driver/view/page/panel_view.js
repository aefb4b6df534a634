// The open tool's panel, drawn as the server gives it: each control of its
// dialog template with its place (dialog units), its caption and, for a
// button or a radio button, its state after the last gesture.

// Dialog units to pixels for the template's 8-point font.
const UNIT_X = 1.75;
const UNIT_Y = 1.75;

function place(element, control) {
  element.style.left = `${control.x * UNIT_X}px`;
  element.style.top = `${control.y * UNIT_Y}px`;
  element.style.width = `${control.width * UNIT_X}px`;
  element.style.height = `${control.height * UNIT_Y}px`;
  return element;
}

// A control's element; `act(kind, control)` runs a gesture on it.
function controlElement(control, act) {
  let element;
  if (control.kind === 'static') {
    element = document.createElement('div');
    element.className = 'static';
    element.textContent = control.text;
  } else if (control.kind === 'group') {
    element = document.createElement('div');
    element.className = 'group';
    const caption = document.createElement('span');
    caption.textContent = control.text;
    element.append(caption);
  } else if (control.kind === 'radio') {
    element = document.createElement('label');
    element.className = 'radio';
    const input = document.createElement('input');
    input.type = 'radio';
    input.checked = control.checked;
    input.disabled = !control.enabled;
    input.dataset.id = control.id;
    input.dataset.caption = control.text;
    input.addEventListener('click', (event) => { event.preventDefault(); act('radio', control); });
    element.append(input, control.text);
  } else {
    element = document.createElement('button');
    element.textContent = control.text;
    element.disabled = !control.enabled;
    element.classList.toggle('checked', control.checked);
    element.dataset.id = control.id;
    element.dataset.caption = control.text;
    element.addEventListener('click', () => act('press', control));
  }
  return place(element, control);
}

// Draws `panel` (the state's controls) of `size` ({width, height}) into
// `container`, with `act(kind, control)` for a gesture ('rightclick' with
// no control).
export function drawPanel(container, panel, size, act) {
  container.replaceChildren();
  if (panel.length === 0) {
    container.textContent = 'No tool is open.';
    return;
  }
  const page = document.createElement('div');
  page.className = 'panel-page';
  page.style.width = `${size.width * UNIT_X}px`;
  page.style.height = `${size.height * UNIT_Y}px`;
  for (const control of panel) page.append(controlElement(control, act));
  // A right button on the panel ends the pick mode, as in the host.
  page.addEventListener('contextmenu', (event) => { event.preventDefault(); act('rightclick'); });
  container.append(page);
}
