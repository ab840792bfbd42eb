// Trend curves of the chosen numeric variables, drawn by uPlot. Samples are
// kept for the longest window (10 min) whatever window is shown.

import uPlot from './uPlot.esm.js';

const KEEP_SECONDS = 600;
const COLORS = ['#2f6fde', '#d9480f', '#2b8a3e', '#ae3ec9', '#e67700', '#0c8599', '#c2255c', '#5c940d'];

export class Trend {
  constructor(element) {
    this.element = element;
    this.series = [];        // {index, name, color}
    this.times = [];         // seconds
    this.values = [];        // one array per series, aligned with times
    this.windowSeconds = 60;
    this.paused = false;
    this.plot = null;
    this.pending = false;
    new ResizeObserver(() => this.plot?.setSize(this.size())).observe(element);
  }

  colorOf(index) {
    return this.series.find((s) => s.index === index)?.color ?? null;
  }

  // Adds the variable, or removes it when it is drawn already.
  toggle(index, name) {
    const at = this.series.findIndex((s) => s.index === index);
    if (at >= 0) {
      this.series.splice(at, 1);
      this.values.splice(at, 1);
    } else {
      const used = new Set(this.series.map((s) => s.color));
      const color = COLORS.find((c) => !used.has(c)) ?? COLORS[this.series.length % COLORS.length];
      this.series.push({ index, name, color });
      this.values.push(this.times.map(() => null));
    }
    this.rebuild();
  }

  // One sample of every drawn variable; valueOf(index) gives its number now.
  sample(seconds, valueOf) {
    if (this.series.length === 0) return;
    this.times.push(seconds);
    this.series.forEach((s, i) => this.values[i].push(valueOf(s.index)));
    let old = 0;
    while (old < this.times.length && this.times[old] < seconds - KEEP_SECONDS) ++old;
    if (old > 0) {
      this.times.splice(0, old);
      for (const v of this.values) v.splice(0, old);
    }
    if (!this.paused) this.drawSoon();
  }

  // At most one redraw a frame, outside the update that brought the sample.
  drawSoon() {
    if (this.pending) return;
    this.pending = true;
    requestAnimationFrame(() => {
      this.pending = false;
      if (!this.paused) this.draw();
    });
  }

  setWindow(seconds) {
    this.windowSeconds = seconds;
    this.draw();
  }

  setPaused(paused) {
    this.paused = paused;
    if (!paused) this.draw();
  }

  size() {
    // Less the padding, and the legend's line below the plot.
    return { width: Math.max(200, this.element.clientWidth - 16), height: Math.max(120, this.element.clientHeight - 36) };
  }

  rebuild() {
    this.plot?.destroy();
    this.plot = null;
    if (this.series.length === 0) return;
    const options = {
      ...this.size(),
      scales: {
        x: {
          time: true,
          range: () => {
            const last = this.times.length ? this.times[this.times.length - 1] : Date.now() / 1000;
            return [last - this.windowSeconds, last];
          },
        },
      },
      series: [{}, ...this.series.map((s) => ({ label: s.name, stroke: s.color, width: 2, spanGaps: true }))],
      axes: [{}, { size: 70 }],
      legend: { live: false },
    };
    this.plot = new uPlot(options, [this.times, ...this.values], this.element);
  }

  draw() {
    this.plot?.setData([this.times, ...this.values]);
  }
}
