// Writes a measurement log as the panel does (its header, then rows, CR LF) from a drifting RC
// circuit: R0 in series with R1 parallel to C1, R1 and C1 drifting over minutes, with a little
// noise. `writeBacklog` writes the rows of the first seconds at once; `startWriting` then appends
// 1000 spectra per second in pieces, skipping MeasCounts when asked.
import fs from "node:fs";

export const Frequencies = [1000, 2000, 3000, 4000, 7000, 12000, 19000, 32000, 52000, 85000, 139000, 228000,
                            373000, 611000, 1000000];
const SpectraPerSecond = 1000;
const PieceMs = 50;

function header(name) {
    const line = (label, value) => `${label.padEnd(24)}${value}\r\n`;
    const numbers = (values, width) => values.map((v) => v.toFixed(2).padStart(width));
    const shunt = Frequencies.map(() => 1000).concat(Frequencies.map(() => 0));
    let text = line("LogName=", name) + line("Created=", "2026 12.10 14:00:00") + line("ApplicationVersion=", "v1.6") +
        line("DeviceDescription=", "Kalvix Z-Meter HW:v1.02 SW:v1.30 SN:KX10240001") +
        line("DeviceSerial=", "KX10240001") + line("AFEDescription=", "Kalvix AFE-2 measuring head, 4-wire") +
        line("FrequencyDivider=", 1) + line("ExcitationLevel=", 90) + line("GainCH-A=", "1x") + line("GainCH-B=", "1x") +
        line("OnExtTrigger=", 0) + line("OnBattery=", 0) + line("CompensationState=", 0) + line("MeasureCompState=", 0);
    text += `${"Frequencies=".padEnd(24)}${numbers(Frequencies, 11).join("Hz,")}Hz\r\n`;
    text += `${"Shunt(re...im...)=".padEnd(24)}${numbers(shunt, 13).join(",")}\r\n`;
    text += `${"CompValues(re...im...)=".padEnd(24)}${numbers(shunt.map(() => 0), 13).join(",")}\r\n`;
    text += "\r\n\r\n\t\t\t\tModule(ohm) Phase(degree)\r\n\tCount\t\t\t";
    for (let k = 1; k <= Frequencies.length; ++k) text += `${String(k).padStart(12)}\t${String(k).padStart(7)}\t`;
    return text + "\tPPeriod(us)\tMax-A\tMin-A\tMax-B\tMin-B\tSysErr\tGPIO\tBattery\tChargeStatus\r\n";
}

// A repeatable noise in [-1, 1] from the count and the frequency.
function noise(count, k) {
    const x = Math.sin(count * 12.9898 + k * 78.233) * 43758.5453;
    return 2 * (x - Math.floor(x)) - 1;
}

export function impedance(time_s, hz) {
    const r0 = 50, r1 = 1000 * (1 + 0.12 * Math.sin(time_s / 70) + time_s / 3000), c1 = 10e-9 * (1 - time_s / 6000);
    const w = 2 * Math.PI * hz, d = 1 + (w * r1 * c1) ** 2;
    return { re: r0 + r1 / d, im: -w * r1 * r1 * c1 / d };
}

function row(count) {
    const time = count / SpectraPerSecond;
    let text = `\t${String(count).padStart(10)}\t\t`;
    Frequencies.forEach((hz, k) => {
        const z = impedance(time, hz);
        const modulus = Math.hypot(z.re, z.im) * (1 + 0.003 * noise(count, k));
        const phase = Math.atan2(z.im, z.re) * 180 / Math.PI + 0.15 * noise(count, k + 20);
        text += `${modulus.toFixed(2).padStart(12)}\t${phase.toFixed(2).padStart(7)}\t`;
    });
    return text + `\t${"1000".padStart(8)}\t 2399\t 1697\t 2368\t 1728\t0x0000\t0x00\t4026\t1\r\n`;
}

function rows(from, to) {
    const parts = [];
    for (let count = from; count < to; ++count) parts.push(row(count));
    return parts.join("");
}

// The header and the spectra of the first `seconds`.
export function writeBacklog(path, seconds) {
    const name = path.split(/[\\/]/).pop();
    const fd = fs.openSync(path, "w");
    fs.writeSync(fd, header(name));
    const total = Math.round(seconds * SpectraPerSecond);
    for (let from = 0; from < total; from += 20000) fs.writeSync(fd, rows(from, Math.min(total, from + 20000)));
    fs.closeSync(fd);
    return total;
}

// Appends 1000 spectra per second from `next` on, in the real time's pace. skip(n) leaves out the
// next n MeasCounts (lost spectra); stop() ends the writing.
export function startWriting(path, next) {
    const started = Date.now();
    const first = next;
    let skipped = 0;
    const timer = setInterval(() => {
        const due = first + skipped + Math.floor((Date.now() - started) * SpectraPerSecond / 1000);
        if (due > next) {
            fs.appendFileSync(path, rows(next, due));
            next = due;
        }
    }, PieceMs);
    return {
        skip(n) { skipped += n; next += n; },
        stop() { clearInterval(timer); },
        written() { return next; },
    };
}
