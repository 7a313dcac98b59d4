// The live view's page: for now an empty chart and the state of the event stream.
"use strict";

(function () {
    const chartElement = document.getElementById("chart");
    const status = document.getElementById("status");

    const chart = new uPlot({
        width: Math.max(320, chartElement.clientWidth),
        height: 360,
        scales: { x: { time: false } },
        series: [{ label: "elapsed (s)" }, { label: "value", stroke: "#1f77b4" }],
        axes: [{ label: "elapsed (s)" }, { label: "value" }],
    }, [[], []], chartElement);

    window.addEventListener("resize", () => {
        chart.setSize({ width: Math.max(320, chartElement.clientWidth), height: 360 });
    });

    const events = new EventSource("events");
    events.onopen = () => { status.textContent = "following"; };
    events.onerror = () => { status.textContent = "connection lost, retrying…"; };
})();
