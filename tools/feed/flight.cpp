// flight.cpp: sample theatres, flat-earth navigation and the route-following aircraft of the feed.
#include "tools/feed/flight.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

namespace {
constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2 * kPi;

// Waypoints sit at real places, far enough inside each theatre's box that a turn at any of them stays
// inside it too.
std::vector<Theatre> MakeTheatres() {
  return {
      {"krasnodar",
       43.5,
       46.5,
       36.5,
       41.5,
       {
           {45.035, 38.976, 1, "Krasnodar"},
           {44.895, 37.316, 1, "Anapa"},
           {44.724, 37.768, 2, "Novorossiysk"},
           {44.561, 38.077, 1, "Gelendzhik"},
           {44.099, 39.074, 1, "Tuapse"},
           {43.600, 39.730, 2, "Sochi"},
           {44.609, 40.100, 1, "Maykop"},
       }},
      {"caucasus",
       42.5,
       44.0,
       40.0,
       46.0,
       {
           {43.680, 40.205, 1, "Krasnaya Polyana"},
           {43.290, 41.624, 1, "Dombay"},
           {43.350, 42.440, 2, "Elbrus"},
           {43.485, 43.607, 1, "Nalchik"},
           {43.025, 44.682, 1, "Vladikavkaz"},
           {43.318, 45.698, 2, "Grozny"},
           {42.657, 44.643, 1, "Kazbegi"},
           {43.046, 42.729, 1, "Mestia"},
       }},
      {"georgia",
       41.0,
       43.0,
       40.0,
       46.5,
       {
           {41.642, 41.633, 1, "Batumi"},
           {42.146, 41.672, 1, "Poti"},
           {42.270, 42.067, 1, "Senaki"},
           {42.270, 42.700, 2, "Kutaisi"},
           {41.985, 44.113, 1, "Gori"},
           {41.716, 44.783, 2, "Tbilisi"},
           {41.919, 45.473, 1, "Telavi"},
           {41.629, 45.030, 1, "Vaziani"},
           {41.639, 42.983, 1, "Akhaltsikhe"},
       }},
  };
}

// Shortest signed turn from one heading to another, in (-pi, pi].
double TurnBetween(double from, double to) {
  double turn = std::fmod(to - from, kTwoPi);
  if (turn > kPi)
    turn -= kTwoPi;
  else if (turn <= -kPi)
    turn += kTwoPi;
  return turn;
}

std::string Trim(const std::string &text) {
  const size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos)
    return {};
  const size_t end = text.find_last_not_of(" \t\r");
  return text.substr(begin, end - begin + 1);
}
} // namespace

const std::vector<Theatre> &SampleTheatres() {
  static const std::vector<Theatre> theatres = MakeTheatres();
  return theatres;
}

const Theatre *FindTheatre(const std::string &name) {
  for (const Theatre &theatre : SampleTheatres())
    if (name == theatre.name)
      return &theatre;
  return nullptr;
}

bool InsideTheatre(const Theatre &theatre, double latitude, double longitude) {
  return latitude >= theatre.south && latitude <= theatre.north && longitude >= theatre.west &&
         longitude <= theatre.east;
}

double KmPerDegreeLongitude(double latitude) { return 83.0 - 1.25 * (latitude - 41.5); }

double NormalizeHeading(double radians) {
  double heading = std::fmod(radians, kTwoPi);
  if (heading < 0)
    heading += kTwoPi;
  return heading >= kTwoPi ? 0.0 : heading;
}

double BearingRadians(double from_lat, double from_lon, double to_lat, double to_lon) {
  const double north = (to_lat - from_lat) * kKmPerDegreeLatitude;
  const double east = (to_lon - from_lon) * KmPerDegreeLongitude(from_lat);
  return NormalizeHeading(std::atan2(east, north));
}

double DistanceKm(double from_lat, double from_lon, double to_lat, double to_lon) {
  const double north = (to_lat - from_lat) * kKmPerDegreeLatitude;
  const double east = (to_lon - from_lon) * KmPerDegreeLongitude(from_lat);
  return std::hypot(north, east);
}

void OffsetPosition(double latitude, double longitude, double north_km, double east_km, double &out_lat,
                    double &out_lon) {
  out_lat = latitude + north_km / kKmPerDegreeLatitude;
  out_lon = longitude + east_km / KmPerDegreeLongitude(latitude);
}

void ProjectPosition(double latitude, double longitude, double bearing, double distance_km, double &out_lat,
                     double &out_lon) {
  OffsetPosition(latitude, longitude, distance_km * std::cos(bearing), distance_km * std::sin(bearing), out_lat,
                 out_lon);
}

Aircraft StartFlight(const std::vector<Waypoint> &route, size_t first, double speed_kmh, double altitude) {
  Aircraft aircraft;
  const Waypoint &start = route[first % route.size()];
  aircraft.latitude = start.latitude;
  aircraft.longitude = start.longitude;
  aircraft.altitude = altitude;
  aircraft.speed_kmh = speed_kmh;
  aircraft.turn_rate = kTurnRate;
  aircraft.target = (first + 1) % route.size();
  const Waypoint &next = route[aircraft.target];
  aircraft.heading = BearingRadians(start.latitude, start.longitude, next.latitude, next.longitude);
  return aircraft;
}

double CaptureRadiusKm(const Aircraft &aircraft) {
  // Points within the two turning circles beside the aircraft (radius v / turn rate) cannot be flown
  // over; anything closer than their diameter counts as reached.
  const double turn_radius_km = aircraft.speed_kmh / 3600.0 / aircraft.turn_rate;
  return std::max(1.0, 2.0 * turn_radius_km);
}

void StepFlight(Aircraft &aircraft, const std::vector<Waypoint> &route, double dt) {
  const Waypoint &target = route[aircraft.target];
  const double wanted = BearingRadians(aircraft.latitude, aircraft.longitude, target.latitude, target.longitude);
  const double max_turn = aircraft.turn_rate * dt;
  const double turn = std::clamp(TurnBetween(aircraft.heading, wanted), -max_turn, max_turn);
  aircraft.heading = NormalizeHeading(aircraft.heading + turn);

  ProjectPosition(aircraft.latitude, aircraft.longitude, aircraft.heading, aircraft.speed_kmh * dt / 3600.0,
                  aircraft.latitude, aircraft.longitude);

  if (DistanceKm(aircraft.latitude, aircraft.longitude, target.latitude, target.longitude) <=
      CaptureRadiusKm(aircraft)) {
    aircraft.target = (aircraft.target + 1) % route.size();
    ++aircraft.waypoints_reached;
  }
}

bool ParseRouteText(const std::string &text, const std::string &where, std::vector<Waypoint> &route,
                    std::string &error) {
  route.clear();
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    const std::string content = Trim(line);
    if (content.empty() || content[0] == '#')
      continue;
    std::istringstream fields(content);
    Waypoint point;
    if (!(fields >> point.latitude >> point.longitude)) {
      error = where + ":" + std::to_string(number) + ": expected LAT LONG [TYPE [NAME]]";
      return false;
    }
    if (!(point.latitude >= -90 && point.latitude <= 90 && point.longitude >= -180 && point.longitude <= 180)) {
      error = where + ":" + std::to_string(number) + ": latitude or longitude out of range";
      return false;
    }
    if (fields >> std::ws && !fields.eof() && !(fields >> point.type)) {
      error = where + ":" + std::to_string(number) + ": TYPE must be an integer";
      return false;
    }
    std::getline(fields >> std::ws, point.name);
    if (point.name.empty())
      point.name = "WP" + std::to_string(route.size() + 1);
    route.push_back(point);
  }
  if (route.size() > kMaxRoutePoints) {
    error = where + ": a route holds at most " + std::to_string(kMaxRoutePoints) + " waypoints";
    return false;
  }
  if (route.size() < 2) {
    error = where + ": a route needs at least two waypoints";
    return false;
  }
  return true;
}

bool LoadRouteFile(const std::string &path, std::vector<Waypoint> &route, std::string &error) {
  std::ifstream file(path);
  if (!file) {
    error = path + ": cannot open the route file";
    return false;
  }
  std::ostringstream text;
  text << file.rdbuf();
  return ParseRouteText(text.str(), path, route, error);
}
