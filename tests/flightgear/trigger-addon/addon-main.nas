# The pilot of the KESTREL FlightGear test: activates the flight plan given with --wp (so that the route
# manager has a current waypoint), and after /kestrel-test/fail-after-sec seconds of flight (default 20)
# fails the gear through the failure manager, as a pilot's failure dialog would. It writes
# /kestrel-test/failed-at (seconds since start) when it has done so.
var main = func(addon) {
    var started = systime();
    var after = getprop("/kestrel-test/fail-after-sec");
    if (after == nil or num(after) == nil) after = 20;
    var activated = 0;
    var failed = 0;
    var timer = maketimer(0.5, func {
        if (!activated and getprop("/autopilot/route-manager/route/num") > 0) {
            fgcommand("activate-flightplan", props.Node.new({"activate": 1}));
            activated = 1;
            print("KESTREL test: flight plan activated");
        }
        if (!failed and systime() - started >= after) {
            FailureMgr.set_failure_level("controls/gear", 1);
            setprop("/kestrel-test/failed-at", systime() - started);
            failed = 1;
            print("KESTREL test: gear failed");
        }
    });
    timer.simulatedTime = 0;
    timer.start();
}
