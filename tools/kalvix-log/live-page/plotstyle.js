// The look the page shares with kalvix-log's pictures: series colours, axis labels, number formats
// and the options every chart starts from.

// As FigureColors.cpp: ten distinct colours; more series than that go along a dark-to-yellow scale.
const Distinct = ["#1F77B4", "#E6550D", "#2CA02C", "#D62728", "#9467BD",
                  "#8C564B", "#E377C2", "#7F7F7F", "#A0A010", "#17BECF"];
const Sequence = [[0x44, 0x01, 0x54], [0x3B, 0x52, 0x8B], [0x21, 0x91, 0x8C], [0x5E, 0xC9, 0x62], [0xD8, 0xCB, 0x20]];

export function seriesColor(index, count) {
    if (count <= Distinct.length)
        return Distinct[index % Distinct.length];
    const t = Math.min(1, Math.max(0, index / (count - 1))) * (Sequence.length - 1);
    const segment = Math.min(Math.floor(t), Sequence.length - 2);
    const f = t - segment;
    const mix = (k) => Math.round(Sequence[segment][k] + f * (Sequence[segment + 1][k] - Sequence[segment][k]));
    return "#" + [0, 1, 2].map((k) => mix(k).toString(16).padStart(2, "0")).join("").toUpperCase();
}

// "#1F77B4" with an opacity, for the bands around a line.
export function translucent(color, alpha) {
    const n = parseInt(color.slice(1), 16);
    return `rgba(${n >> 16}, ${(n >> 8) & 255}, ${n & 255}, ${alpha})`;
}

export const Quantities = {
    modulus: { label: "|Z| (Ω)", name: "|Z|" },
    phase: { label: "phase (°)", name: "phase" },
    real: { label: "Z' (Ω)", name: "Z'" },
    imag: { label: "Z'' (Ω)", name: "Z''" },
};
export const Labels = {
    time: "time (s)",
    frequency: "frequency (Hz)",
    modulus: "|Z| (Ω)",
    phase: "phase (°)",
    real: "Z' (Ω)",
    minusImag: "−Z'' (Ω)",
};

// 1000 -> "1 kHz", 611000 -> "611 kHz", 1e6 -> "1 MHz".
export function formatFrequency(hz) {
    if (hz >= 1e6) return `${+(hz / 1e6).toPrecision(4)} MHz`;
    if (hz >= 1e3) return `${+(hz / 1e3).toPrecision(4)} kHz`;
    return `${+hz.toPrecision(4)} Hz`;
}

// A whole number with thin groups: 3600000 -> "3 600 000".
export function formatCount(n) {
    if (n === null || n === undefined) return "–";
    return Math.round(n).toString().replace(/\B(?=(\d{3})+(?!\d))/g, "\u2009");
}

// Seconds as h:mm:ss (or m:ss.s under an hour).
export function formatDuration(seconds) {
    if (seconds === null || seconds === undefined || !isFinite(seconds)) return "–";
    const s = Math.max(0, seconds);
    const h = Math.floor(s / 3600), m = Math.floor((s % 3600) / 60), rest = s % 60;
    if (h > 0) return `${h}:${String(m).padStart(2, "0")}:${String(Math.floor(rest)).padStart(2, "0")}`;
    return `${m}:${rest.toFixed(1).padStart(4, "0")}`;
}

// A value for a legend or a table: four significant digits, engineering exponent when far from 1.
export function formatValue(v) {
    if (v === null || v === undefined || !isFinite(v)) return "–";
    const a = Math.abs(v);
    if (a !== 0 && (a < 1e-3 || a >= 1e6)) return v.toExponential(3);
    return (+v.toPrecision(5)).toString();
}

const Font = "12px system-ui, 'DejaVu Sans', 'Liberation Sans', Arial, sans-serif";
const LabelFont = "bold 12px system-ui, 'DejaVu Sans', 'Liberation Sans', Arial, sans-serif";

// One axis in the pictures' style: dark ticks and labels, light grid.
export function axis(label, extra = {}) {
    return Object.assign({
        label, font: Font, labelFont: LabelFont, stroke: "#333",
        grid: { stroke: "#e6e6e6", width: 1 }, ticks: { stroke: "#bbb", width: 1, size: 4 },
    }, extra);
}

// Tick labels of a logarithmic axis: 1k, 10k, 100k, 1M.
export function logTickValues(_u, splits) {
    return splits.map((v) => {
        if (v === null || !(v > 0)) return "";
        const e = Math.log10(v);
        if (Math.abs(e - Math.round(e)) > 1e-9) return "";
        if (v >= 1e6) return `${v / 1e6}M`;
        if (v >= 1e3) return `${v / 1e3}k`;
        return `${v}`;
    });
}

// The width of a chart's host element, so charts follow the window.
export function hostWidth(element, least = 240) {
    return Math.max(least, Math.floor(element.getBoundingClientRect().width));
}

// Tick labels of a linear axis whose values may be far from 1 (farads, seconds): 1.2e-7.
export function tickValues(_u, splits) {
    return splits.map((v) => (v === null ? "" : formatValue(v)));
}

// Calls resized(width) when the element's width changes (a window resize, the folder's list
// appearing), at most once per animation frame.
export function whenResized(element, resized) {
    let width = hostWidth(element), frame = 0;
    new ResizeObserver(() => {
        cancelAnimationFrame(frame);
        frame = requestAnimationFrame(() => {
            const now = hostWidth(element);
            if (now !== width) { width = now; resized(now); }
        });
    }).observe(element);
}
