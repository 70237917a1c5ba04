// flight.h: the feed's flight model: sample theatres with their routes, flat-earth navigation, an aircraft
// that turns onto each leg and flies the route round and round.
#pragma once

#include <cstddef>
#include <numbers>
#include <string>
#include <vector>

struct Waypoint {
  double latitude = 0;  // degrees, north positive
  double longitude = 0; // degrees, east positive
  int type = 1;         // route point type sent in ROUTE (1 circle, 2 triangle, ...)
  std::string name;
};

struct Theatre {
  const char *name; // as given to --theatre
  double south, north, west, east;
  std::vector<Waypoint> route;
};

// The three sample theatres, in map catalogue order.
const std::vector<Theatre> &SampleTheatres();
// The theatre of that name (lower case), or nullptr.
const Theatre *FindTheatre(const std::string &name);
bool InsideTheatre(const Theatre &theatre, double latitude, double longitude);

// The flat-earth factors the display uses for bearings and distances.
constexpr double kKmPerDegreeLatitude = 112.0;
double KmPerDegreeLongitude(double latitude);
// Bearing in radians clockwise from north, in [0, 2 pi), and distance in km from one point to another.
double BearingRadians(double from_lat, double from_lon, double to_lat, double to_lon);
double DistanceKm(double from_lat, double from_lon, double to_lat, double to_lon);
// The point north_km and east_km away from (latitude, longitude).
void OffsetPosition(double latitude, double longitude, double north_km, double east_km, double &out_lat,
                    double &out_lon);
// The point distance_km away along bearing (radians clockwise from north).
void ProjectPosition(double latitude, double longitude, double bearing, double distance_km, double &out_lat,
                     double &out_lon);
// An angle brought into [0, 2 pi).
double NormalizeHeading(double radians);

constexpr double kKmhPerKnot = 1.852;

struct Aircraft {
  double latitude = 0;
  double longitude = 0;
  double heading = 0;   // radians clockwise from north: the direction the aircraft moves in
  double altitude = 0;  // metres
  double speed_kmh = 0; // ground speed
  double turn_rate = 0; // radians per second
  size_t target = 0;    // index of the waypoint being steered to
  long waypoints_reached = 0;
};

// Turn rate of the sample aircraft: 3 degrees a second, a rate-one turn.
constexpr double kTurnRate = 3.0 * std::numbers::pi / 180.0;

// An aircraft at route[first], heading for the next waypoint. The route must hold at least two points.
Aircraft StartFlight(const std::vector<Waypoint> &route, size_t first, double speed_kmh, double altitude);
// Radius around a waypoint at which the aircraft takes it as reached and turns for the next one: wide
// enough that a turn never leaves the aircraft circling a point inside its turning circle.
double CaptureRadiusKm(const Aircraft &aircraft);
// Flies dt seconds: turns toward the target at the turn rate, moves along the heading, and steers to the
// next waypoint (wrapping to the first after the last) once within the capture radius.
void StepFlight(Aircraft &aircraft, const std::vector<Waypoint> &route, double dt);

// The display numbers route points up to 127; the feed numbers them from 1.
constexpr size_t kMaxRoutePoints = 127;

// Reads a route file: one waypoint a line, "LAT LONG [TYPE [NAME...]]", blank lines and lines starting
// with '#' ignored. False with a message naming the line when the file cannot be read or is malformed.
bool LoadRouteFile(const std::string &path, std::vector<Waypoint> &route, std::string &error);
// The same for route text already in memory; where names the source in messages.
bool ParseRouteText(const std::string &text, const std::string &where, std::vector<Waypoint> &route,
                    std::string &error);
