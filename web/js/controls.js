// The settings' controls, built from the panel's table: the four display
// parameters, the five variations (each a check box and a slider, the
// slider shown while its box is checked) and the four colour bytes. Every
// change calls onChange(flag, value); set() moves the controls without
// calling it.

const kRatioRound = 500;  // the panel shows the ratio as position / 100 - 5
const kRatioScale = 100;

function hex8(slots) {
  const word = ((slots.alpha << 24) | (slots.red << 16) | (slots.green << 8) | slots.blue) >>> 0;
  return word.toString(16).padStart(8, '0');
}

export class Controls {
  constructor(panel, root, onChange) {
    this.panel = panel;
    this.onChange = onChange;
    this.rows = new Map();  // flag -> {row, range, output, check, name}
    this.texts = null;
    this.slots = null;
    this.legends = {
      param: root.querySelector('#params legend'),
      jitter: root.querySelector('#jitters legend'),
      color: root.querySelector('#colors legend'),
    };
    const groups = {param: root.querySelector('#params'), jitter: root.querySelector('#jitters'),
      color: root.querySelector('#colors')};
    for (const slot of panel.slots) groups[slot.group].append(this.makeRow(slot));
  }

  makeRow(slot) {
    const row = document.createElement('div');
    row.className = 'row';
    const id = `s-${slot.flag}`;
    const range = Object.assign(document.createElement('input'), {type: 'range', id, step: 1,
      min: slot.group === 'jitter' ? this.panel.variationMin : slot.min, max: slot.max});
    const output = Object.assign(document.createElement('output'), {htmlFor: id});
    const name = document.createElement('span');
    const entry = {row, range, output, name, slot, check: null, note: null};
    if (slot.group === 'jitter') {
      const label = document.createElement('label');
      const check = Object.assign(document.createElement('input'), {type: 'checkbox', id: `c-${slot.flag}`});
      label.append(check, ' ', name);
      row.append(label, range);
      range.setAttribute('aria-labelledby', `c-${slot.flag}-name`);
      name.id = `c-${slot.flag}-name`;
      check.addEventListener('change', () => {
        this.onChange(slot.flag, check.checked ? Number(range.value) : 0);
      });
      entry.check = check;
      if (slot.flag === 'blur') {
        entry.note = Object.assign(document.createElement('span'), {className: 'note', id: 'blur-note'});
        range.setAttribute('aria-describedby', 'blur-note');
        row.append(entry.note);
      } else {
        row.append(document.createElement('span'));
      }
    } else {
      const label = Object.assign(document.createElement('label'), {htmlFor: id});
      label.append(name);
      row.append(label, range, output);
    }
    range.addEventListener('input', () => this.onChange(slot.flag, Number(range.value)));
    this.rows.set(slot.flag, entry);
    return row;
  }

  setTexts(texts) {
    this.texts = texts;
    this.legends.param.textContent = texts.paramGroup;
    this.legends.jitter.textContent = texts.jitterGroup;
    for (const entry of this.rows.values()) {
      if (entry.note) entry.note.textContent = texts.blurNote;
    }
    if (this.slots) this.set(this.slots);
  }

  // Shows `slots`; a variation at 0 keeps its slider where it was.
  set(slots) {
    this.slots = {...slots};
    for (const [flag, e] of this.rows) {
      const v = slots[flag];
      const name = this.texts.names[flag];
      if (e.check) {
        e.check.checked = v !== 0;
        if (v !== 0) e.range.value = v;
        e.row.classList.toggle('off', v === 0);
        e.name.textContent = `${name} (${v}%)`;
      } else {
        e.range.value = v;
        e.name.textContent = name;
        e.output.textContent = flag === 'ratio' ? ((v - kRatioRound) / kRatioScale).toFixed(2) : String(v);
      }
    }
    this.legends.color.textContent = `${this.texts.colorGroup} (0x${hex8(slots)})`;
  }
}
