# KESTREL export: feeds a KESTREL navigation display from FlightGear over UDP.
#
# Two generic output channels do the sending (Nasal has no UDP socket):
#   kestrel-monitor  MONITOR straight from the property tree, at /kestrel/rate a second;
#   kestrel-lines    whatever text /kestrel/out/line holds: this file queues ROUTE, ROUTE_TO, FAIL and
#                    AGMTAG lines and pumps them into that property one at a time, so nothing bursts.
#
# Properties (all optional, e.g. --prop:/kestrel/port=10320):
#   /kestrel/host  display address (default 127.0.0.1)
#   /kestrel/port  display UDP port (default 10320)
#   /kestrel/rate  MONITOR datagrams a second, 1 to 50 (default 10)
#   /kestrel/agm/latitude-deg, /kestrel/agm/longitude-deg   AGM point; AGMTAG is sent while both are set

var LINES_HZ = 20;           # ticks a second of the lines channel
var LINE_HOLD = 2.0 / LINES_HZ; # a line stays at least two ticks, so that a tick never skips one
var ROUTE_PERIOD = 5;        # seconds between two sendings of the whole route
var ROUTE_TO_PERIOD = 1;
var FAIL_PERIOD = 10;
var AGM_PERIOD = 1;          # the display drops the AGM mark after three seconds without AGMTAG
var QUEUE_LIMIT = 400;       # lines; the periodic ones are skipped while earlier ones still wait
var DATAGRAM_LIMIT = 576;

var FM = "/sim/failure-manager/";

# The 28 systems the display knows, in its order, and what tells each one in FlightGear.
# modes: failure-manager modes (failed when failure-level > 0); test: a function of its own.
var any_failure = func {
    if (!contains(globals, "FailureMgr")) return 0;
    var root = props.globals.getNode(FM);
    if (root == nil) return 0;
    return _any_level(root);
}
var _any_level = func(node) {
    foreach (var child; node.getChildren()) {
        if (child.getName() == "failure-level" and num(child.getValue()) != nil and child.getValue() > 0)
            return 1;
        if (size(child.getChildren()) > 0 and _any_level(child)) return 1;
    }
    return 0;
}
var autopilot_on = func {
    foreach (var lock; ["heading", "altitude", "speed"]) {
        var v = getprop("/autopilot/locks/" ~ lock);
        if (v != nil and v != "" and v != 0) return 1;
    }
    return 0;
}
var canopy_open = func {
    var v = getprop("/canopy/position-norm");
    return v != nil and num(v) != nil and v > 0.01;
}
var stall_warning = func {
    var v = getprop("/sim/alarms/stall-warning");
    return v != nil and num(v) != nil and v != 0;
}

var SYSTEMS = [
    { keyword: "LeftEngineFailure",     modes: ["engines/engine"] },
    { keyword: "RightEngineFailure",    modes: ["engines/engine[1]"] },
    { keyword: "HydraulicsFailure",     modes: ["systems/hydraulic", "systems/hydraulics"] },
    { keyword: "ACSFailure",            modes: [] },
    { keyword: "AutopilotFailure",      modes: ["systems/autopilot", "instrumentation/autopilot"] },
    { keyword: "AutopilotOn",           test: autopilot_on },
    { keyword: "LeftTailPlaneFailure",  modes: ["controls/flight/elevator"] },
    { keyword: "RightTailPlaneFailure", modes: ["controls/flight/elevator"] },
    { keyword: "LeftAileronFailure",    modes: ["controls/flight/aileron"] },
    { keyword: "RightAileronFailure",   modes: ["controls/flight/aileron"] },
    { keyword: "MasterWarning",         test: any_failure },
    { keyword: "CanopyOpen",            test: canopy_open },
    { keyword: "CannonFailure",         modes: [] },
    { keyword: "StallSignalization",    test: stall_warning },
    { keyword: "LeftMainPumpFailure",   modes: [] },
    { keyword: "RightMainPumpFailure",  modes: [] },
    { keyword: "LeftWingPumpFailure",   modes: [] },
    { keyword: "RightWingPumpFailure",  modes: [] },
    { keyword: "RadarFailure",          modes: [] },
    { keyword: "EOSFailure",            modes: [] },
    { keyword: "MLWSFailure",           modes: [] },
    { keyword: "RWSFailure",            modes: [] },
    { keyword: "ECMFailure",            modes: [] },
    { keyword: "GearFailure",           modes: ["controls/gear"] },
    { keyword: "MFDFailure",            modes: [] },
    { keyword: "HUDFailure",            modes: ["instrumentation/hud"] },
    { keyword: "HelmetFailure",         modes: [] },
    { keyword: "FuelTankDamage",        modes: [] },
];

var system_state = func(system) {
    if (contains(system, "test")) return system.test() ? 1 : 0;
    foreach (var mode; system.modes) {
        var level = getprop(FM ~ mode ~ "/failure-level");
        if (level != nil and num(level) != nil and level > 0) return 1;
    }
    return 0;
}

# Numbers always with '.' as decimal mark: sprintf follows the C numeric locale, which FlightGear keeps
# at "C"; the guard below turns any other mark back into '.' should a build not do so.
var fixed = func(format, value) {
    var text = sprintf(format, value);
    return string.replace(text, ",", ".");
}

# The two queues: changes go out first, the periodic sendings after them.
var urgent = [];
var bulk = [];
var queued_kinds = {};

var enqueue = func(kind, line, is_urgent) {
    if (size(line) > DATAGRAM_LIMIT) {
        print("KESTREL: line longer than ", DATAGRAM_LIMIT, " bytes not sent: ", substr(line, 0, 40));
        return;
    }
    if (size(urgent) + size(bulk) >= QUEUE_LIMIT) return;
    append(is_urgent ? urgent : bulk, [kind, line]);
    queued_kinds[kind] = (contains(queued_kinds, kind) ? queued_kinds[kind] : 0) + 1;
}
var waiting = func(kind) contains(queued_kinds, kind) and queued_kinds[kind] > 0;

var line_node = nil;
var line_since = -1;

var pump = func {
    var now = systime();
    if (line_since >= 0 and now - line_since < LINE_HOLD) return;
    var next = nil;
    if (size(urgent) > 0) {
        next = urgent[0];
        urgent = subvec(urgent, 1);
    } elsif (size(bulk) > 0) {
        next = bulk[0];
        bulk = subvec(bulk, 1);
    }
    if (next == nil) return; # the last line stays; sent again it changes nothing
    queued_kinds[next[0]] -= 1;
    line_node.setValue(next[1]);
    line_since = now;
}

# Route: every point of the active flight plan, numbered from 1, as Type 1 (a numbered circle). Types 3
# and 4 would hide the point after or before them on the display, and a FlightGear plan's waypoints
# are all real ones the pilot wants to see.
var route_key = "";
var route_lines = func {
    var lines = [];
    var n = getprop("/autopilot/route-manager/route/num");
    if (n == nil) return lines;
    for (var i = 0; i < n; i += 1) {
        var wp = "/autopilot/route-manager/route/wp[" ~ i ~ "]/";
        var lat = getprop(wp ~ "latitude-deg");
        var lon = getprop(wp ~ "longitude-deg");
        if (lat == nil or lon == nil or num(lat) == nil or num(lon) == nil) continue;
        append(lines, "KESTREL ROUTE:" ~ (i + 1) ~ ",Lat=" ~ fixed("%.6f", lat) ~ ",Long=" ~ fixed("%.6f", lon)
               ~ ",Type=1");
    }
    return lines;
}
var send_route = func(is_urgent) {
    var lines = route_lines();
    foreach (var line; lines) enqueue("ROUTE", line, is_urgent);
}

var route_to_line = func {
    if (!getprop("/autopilot/route-manager/active")) return nil;
    var current = getprop("/autopilot/route-manager/current-wp");
    if (current == nil or current < 0) return nil;
    var wp = "/autopilot/route-manager/route/wp[" ~ current ~ "]/";
    var lat = getprop(wp ~ "latitude-deg");
    var lon = getprop(wp ~ "longitude-deg");
    if (lat == nil or lon == nil or num(lat) == nil or num(lon) == nil) return nil;
    return "KESTREL ROUTE_TO:Lat=" ~ fixed("%.6f", lat) ~ ",Long=" ~ fixed("%.6f", lon);
}

var fail_states = [];
var fail_line = func(i) "KESTREL FAIL: " ~ SYSTEMS[i].keyword ~ " " ~ fail_states[i];

var agm_line = func {
    var lat = getprop("/kestrel/agm/latitude-deg");
    var lon = getprop("/kestrel/agm/longitude-deg");
    if (lat == nil or lon == nil or lat == "" or lon == "" or num(lat) == nil or num(lon) == nil) return nil;
    return "KESTREL AGMTAG:Lat=" ~ fixed("%.6f", lat) ~ ",Long=" ~ fixed("%.6f", lon);
}

var last_route_to = "";
var last_agm = "";
var next_route = 0;
var next_route_to = 0;
var next_fail = 0;
var next_agm = 0;

# Once a frame: notices changes at once and schedules the periodic sendings.
var watch = func {
    var now = systime();

    # The route: a changed plan is sent at once (new points appear; the pilot clears old ones with
    # RESET ALL), the whole plan again every few seconds for a display started later or a lost datagram.
    var lines = route_lines();
    var key = "";
    foreach (var line; lines) key ~= line;
    if (key != route_key) {
        route_key = key;
        foreach (var line; lines) enqueue("ROUTE", line, 1);
        next_route = now + ROUTE_PERIOD;
    } elsif (now >= next_route and !waiting("ROUTE")) {
        foreach (var line; lines) enqueue("ROUTE", line, 0);
        next_route = now + ROUTE_PERIOD;
    }

    var to = route_to_line();
    # ROUTE_TO and AGMTAG go ahead of the bulk sendings even when only repeated: one line a second each, and
    # the steering cue and the AGM mark must not wait behind a whole route or 28 FAIL lines at a low frame rate.
    if (to != nil and to != last_route_to) {
        enqueue("ROUTE_TO", to, 1);
        next_route_to = now + ROUTE_TO_PERIOD;
    } elsif (to != nil and now >= next_route_to and !waiting("ROUTE_TO")) {
        enqueue("ROUTE_TO", to, 1);
        next_route_to = now + ROUTE_TO_PERIOD;
    }
    last_route_to = to == nil ? "" : to;

    forindex (var i; SYSTEMS) {
        var state = system_state(SYSTEMS[i]);
        if (state != fail_states[i]) {
            fail_states[i] = state;
            enqueue("FAIL", fail_line(i), 1);
        }
    }
    if (now >= next_fail and !waiting("FAIL")) {
        forindex (var i; SYSTEMS) enqueue("FAIL", fail_line(i), 0);
        next_fail = now + FAIL_PERIOD;
    }

    var agm = agm_line();
    if (agm != nil and (agm != last_agm or (now >= next_agm and !waiting("AGMTAG")))) {
        enqueue("AGMTAG", agm, 1);
        next_agm = now + AGM_PERIOD;
    }
    last_agm = agm == nil ? "" : agm;

    pump();
}

var clamp_number = func(path, low, high, fallback) {
    var v = getprop(path);
    if (v == nil or v == "" or num(v) == nil) return fallback;
    v = num(v);
    if (v < low or v > high) {
        print("KESTREL: ", path, " is ", v, ", not from ", low, " to ", high, "; using ", fallback);
        return fallback;
    }
    return v;
}

var main = func(addon) {
    var host = getprop("/kestrel/host");
    if (host == nil or host == "") host = "127.0.0.1";
    var port = int(clamp_number("/kestrel/port", 1, 65535, 10320));
    var rate = clamp_number("/kestrel/rate", 1, 50, 10);
    setprop("/kestrel/host", host);
    setprop("/kestrel/port", port);
    setprop("/kestrel/rate", rate);

    foreach (var s; SYSTEMS) append(fail_states, system_state(s));
    line_node = props.globals.getNode("/kestrel/out/line", 1);
    # The lines channel sends from its first tick on: it starts with a line that is true already.
    line_node.setValue(fail_line(0));
    line_since = systime();

    fgcommand("add-io-channel", props.Node.new({
        "config": "generic,socket,out," ~ rate ~ "," ~ host ~ "," ~ port ~ ",udp,kestrel-monitor",
        "name": "kestrel-monitor"}));
    fgcommand("add-io-channel", props.Node.new({
        "config": "generic,socket,out," ~ LINES_HZ ~ "," ~ host ~ "," ~ port ~ ",udp,kestrel-lines",
        "name": "kestrel-lines"}));
    print("KESTREL: sending to ", host, " port ", port, ", MONITOR ", rate, " a second");

    var timer = maketimer(0, watch);
    timer.simulatedTime = 0;
    timer.start();
}
