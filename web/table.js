// The variable table with virtual scrolling: whatever the count, only the
// rows in view (and a few either side) are in the DOM, reused as it scrolls.

const ROW_HEIGHT = 24;
const SPARE_ROWS = 6;

export class VariableTable {
  // store: {records, writable(index), trended(index) -> color or null, error(index)}
  // on: {toggleTrend(index), submit(index, text)}
  constructor(viewport, spacer, store, on) {
    this.viewport = viewport;
    this.spacer = spacer;
    this.store = store;
    this.on = on;
    this.shown = [];         // record indices that pass the filter, in order
    this.rows = [];          // the row elements in the DOM
    this.rowOf = new Map();  // record index -> its row, for the rows in view
    this.editing = -1;       // the record whose value cell holds an editor
    viewport.addEventListener('scroll', () => this.render());
    new ResizeObserver(() => this.render()).observe(viewport);
  }

  setShown(indices) {
    this.shown = indices;
    this.spacer.style.height = `${indices.length * ROW_HEIGHT}px`;
    this.render();
  }

  // The rows in view, from `first` on; every row element shows one record.
  render() {
    const first = Math.max(0, Math.floor(this.viewport.scrollTop / ROW_HEIGHT) - SPARE_ROWS);
    const count = Math.min(this.shown.length - first,
      Math.ceil(this.viewport.clientHeight / ROW_HEIGHT) + 2 * SPARE_ROWS);
    while (this.rows.length < count) this.rows.push(this.makeRow());
    this.rowOf.clear();
    for (let i = 0; i < this.rows.length; ++i) {
      const row = this.rows[i];
      if (i >= count) { row.hidden = true; row.dataset.index = ''; continue; }
      row.hidden = false;
      row.style.transform = `translateY(${(first + i) * ROW_HEIGHT}px)`;
      this.fill(row, this.shown[first + i]);
      this.rowOf.set(this.shown[first + i], row);
    }
  }

  // A changed value: redrawn, and flashed when in view.
  changed(index) {
    const row = this.rowOf.get(index);
    if (!row) return;
    this.fill(row, index);
    row.cells.value.animate([{ backgroundColor: 'var(--flash)' }, { backgroundColor: 'transparent' }],
      { duration: 400, easing: 'ease-out' });
  }

  makeRow() {
    const row = document.createElement('div');
    row.className = 'row';
    row.cells = {};
    for (const name of ['index', 'name', 'type', 'size', 'value']) {
      const cell = document.createElement('span');
      cell.className = name;
      row.cells[name] = cell;
      row.append(cell);
    }
    row.text = document.createElement('span');
    row.text.className = 'text';
    row.error = document.createElement('span');
    row.error.className = 'error';
    row.cells.value.append(row.text, row.error);
    row.addEventListener('click', (event) => {
      const index = Number(row.dataset.index);
      if (event.target.closest('.edit, input')) return;
      this.on.toggleTrend(index);
    });
    this.viewport.append(row);
    return row;
  }

  fill(row, index) {
    const record = this.store.records[index];
    const same = row.dataset.index === String(index);
    row.dataset.index = String(index);
    if (!same) {
      row.cells.index.textContent = record.index;
      row.cells.name.textContent = record.name;
      row.cells.name.title = record.name;
      row.cells.type.textContent = record.type;
      row.cells.size.textContent = record.size;
    }
    const color = this.store.trended(index);
    row.classList.toggle('trended', color !== null);
    row.style.setProperty('--trend', color ?? 'transparent');
    row.classList.toggle('numeric', this.store.numeric(index));
    if (this.editing === index) {
      if (!row.cells.value.querySelector('input')) this.openEditor(row, index);
      return;
    }
    row.cells.value.querySelector('input')?.remove();
    row.text.textContent = String(record.value);
    row.error.textContent = this.store.error(index) ?? '';
    const writable = this.store.writable(index);
    let edit = row.cells.value.querySelector('.edit');
    if (writable && !edit) {
      edit = document.createElement('button');
      edit.className = 'edit';
      edit.type = 'button';
      edit.title = 'change the value';
      edit.textContent = '✎';
      edit.addEventListener('click', () => this.startEdit(Number(row.dataset.index)));
      row.cells.value.append(edit);
    } else if (!writable && edit) {
      edit.remove();
    }
  }

  startEdit(index) {
    this.editing = index;
    this.render();
  }

  stopEdit() {
    this.editing = -1;
    this.render();
  }

  openEditor(row, index) {
    const input = document.createElement('input');
    input.className = 'editor';
    input.value = String(this.store.records[index].value);
    input.setAttribute('aria-label', `new value of ${this.store.records[index].name}`);
    input.addEventListener('keydown', async (event) => {
      if (event.key === 'Escape') { event.preventDefault(); this.stopEdit(); }
      if (event.key !== 'Enter') return;
      event.preventDefault();
      input.disabled = true;
      await this.on.submit(index, input.value);
      this.stopEdit();
    });
    row.text.textContent = '';
    row.error.textContent = '';
    row.cells.value.querySelector('.edit')?.remove();
    row.cells.value.prepend(input);
    input.focus();
    input.select();
  }
}
