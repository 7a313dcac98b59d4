// The spectrum shown: the latest one, or the one picked in the trend; Bode (|Z| and phase against
// frequency, both on a logarithmic frequency axis) and Nyquist (Z' against −Z'', equal scales),
// the measured points as markers and the fitted circuit's curve as a line.
import { fetchJson, isAbort, makeChannel } from "./api.js";
import { Labels, axis, formatCount, formatDuration, hostWidth, logTickValues, seriesColor, whenResized }
    from "./plotstyle.js";

const BodeHeight = 230;
const NyquistHeight = 470;
const Measured = seriesColor(0, 2);
const Fitted = seriesColor(1, 2);

function markers(label) {
    return { label, stroke: Measured, fill: Measured, width: 0, paths: () => null,
             points: { show: true, size: 7, stroke: Measured, fill: Measured } };
}

function curve(label) {
    return { label, stroke: Fitted, width: 1.5, spanGaps: true, points: { show: false } };
}

function bodeChart(host, yLabel, logY) {
    return new uPlot({
        width: hostWidth(host), height: BodeHeight, legend: { show: false },
        cursor: { drag: { x: false, y: false }, points: { show: false } },
        scales: { x: { time: false, distr: 3 }, y: logY ? { distr: 3 } : {} },
        axes: [axis(Labels.frequency, { values: logTickValues }),
               axis(yLabel, { size: 70, values: logY ? logTickValues : undefined })],
        series: [{}, markers("measured"), curve("fit")],
    }, [[], [], []], host);
}

// Markers for uPlot's x-y mode, which draws no points of its own: a dot at every (x, y).
function dots(u, seriesIndex) {
    const [xs, ys] = u.data[seriesIndex];
    const radius = 3.5 * devicePixelRatio;
    const path = new Path2D();
    for (let i = 0; i < xs.length; i++) {
        if (xs[i] === null || ys[i] === null) continue;
        const x = u.valToPos(xs[i], "x", true), y = u.valToPos(ys[i], "y", true);
        path.moveTo(x + radius, y);
        path.arc(x, y, radius, 0, 2 * Math.PI);
    }
    return { stroke: path, fill: path, clip: null, band: null, gaps: null, flags: 0 };
}

// Nyquist in uPlot's x-y mode; both scales set so that an ohm is as long on either axis.
function nyquistChart(host) {
    const facets = [{ scale: "x", auto: false }, { scale: "y", auto: false }];
    return new uPlot({
        mode: 2, width: hostWidth(host), height: NyquistHeight, legend: { show: false },
        cursor: { drag: { x: false, y: false }, points: { show: false } },
        scales: { x: { time: false, auto: false }, y: { auto: false } },
        axes: [axis(Labels.real), axis(Labels.minusImag, { size: 70 })],
        series: [{}, Object.assign(markers("measured"), { paths: dots, points: { show: false }, facets }),
                 Object.assign(curve("fit"), { facets })],
    }, [null, [[], []], [[], []]], host);
}

function equalScales(chart, xs, ys) {
    const finite = (v) => v !== null && isFinite(v);
    const x = xs.filter(finite), y = ys.filter(finite).concat([0]);
    if (!x.length) return;
    let x0 = Math.min(...x), x1 = Math.max(...x), y0 = Math.min(...y), y1 = Math.max(...y);
    const pad = 0.05 * Math.max(x1 - x0, y1 - y0, 1e-9);
    x0 -= pad; x1 += pad; y0 -= pad; y1 += pad;
    const width = chart.bbox.width, height = chart.bbox.height;
    const perPixel = Math.max((x1 - x0) / width, (y1 - y0) / height);
    const cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    chart.batch(() => {
        chart.setScale("x", { min: cx - perPixel * width / 2, max: cx + perPixel * width / 2 });
        chart.setScale("y", { min: cy - perPixel * height / 2, max: cy + perPixel * height / 2 });
    });
}

export function makeSpectrum({ modulusHost, phaseHost, nyquistHost, caption, latestButton, onError }) {
    const shown = {
        picked: null,            // a MeasCount picked in the trend, or null: the latest spectrum
        channel: makeChannel(), status: null, answer: null,
        modulus: bodeChart(modulusHost, Labels.modulus, true),
        phase: bodeChart(phaseHost, Labels.phase, false),
        nyquist: nyquistChart(nyquistHost),
    };

    function draw(answer) {
        shown.answer = answer;
        const fit = answer.fit;
        const fitted = fit ? [fit.frequencies_hz, fit.modulus, fit.phase_deg] : [[], [], []];
        const joined = uPlot.join([[answer.frequencies_hz, answer.modulus, answer.phase_deg], fitted]);
        shown.modulus.setData([joined[0], joined[1], joined[3]]);
        shown.phase.setData([joined[0], joined[2], joined[4]]);
        const minusImag = answer.imag.map((v) => -v);
        const fitReal = fit ? fit.real : [], fitMinusImag = fit ? fit.imag.map((v) => -v) : [];
        shown.nyquist.setData([null, [answer.real, minusImag], [fitReal, fitMinusImag]], false);
        equalScales(shown.nyquist, answer.real.concat(fitReal), minusImag.concat(fitMinusImag));
        const what = shown.picked === null ? "latest spectrum" : "picked spectrum";
        caption.textContent = `${what}: count ${formatCount(answer.meascount)} at ${formatDuration(answer.time_s)}` +
            (fit ? `; fitted curve of the block at ${formatDuration(fit.block_time_s)}` : "");
        nyquistHost.dataset.meascount = String(answer.meascount);
        latestButton.hidden = shown.picked === null;
    }

    async function load() {
        const signal = shown.channel.start();
        try {
            const answer = await fetchJson("api/spectrum", { meascount: shown.picked === null ? "last" : shown.picked }, signal);
            draw(answer);
        } catch (error) {
            if (!isAbort(error)) onError(error.message);
        } finally {
            shown.channel.finish(signal);
        }
    }

    latestButton.addEventListener("click", () => { shown.picked = null; load(); });
    whenResized(modulusHost, (width) => shown.modulus.setSize({ width, height: BodeHeight }));
    whenResized(phaseHost, (width) => shown.phase.setSize({ width, height: BodeHeight }));
    whenResized(nyquistHost, (width) => {
        shown.nyquist.setSize({ width, height: NyquistHeight });
        if (shown.answer) draw(shown.answer);
    });

    return {
        // The latest spectrum is read again at each status while nothing is picked (one at a time).
        update(status, restart) {
            shown.status = status;
            if (restart) shown.picked = null;
            if (status.spectra === 0) return;
            if (restart || (shown.picked === null && !shown.channel.busy())) load();
        },
        // The spectrum nearest a time picked in the trend.
        pick(time_s) {
            const s = shown.status;
            if (!s || !s.period_s) return;
            const first = s.first_meascount ?? 0, last = s.last_meascount ?? 0;
            shown.picked = Math.min(last, Math.max(first, Math.round(time_s / s.period_s)));
            load();
        },
    };
}
