#include "ApplyMarker.h"

#include "UnitAccess.h"

namespace sysdatactl {

namespace {

UnitPath markerPath(const char* name) { return UnitPath(std::string("/") + name); }

bool pending(const char* name) { return unitIsRegularFile(markerPath(name)); }

bool markStarted(const char* name, const char* text, const char* what, std::string* error) {
  // A durable replacement: the record is whole or absent after a cut, and a
  // record left by a cut run is simply replaced.
  std::string reason;
  if (replaceUnitFile(markerPath(name), text, 0644, &reason)) return true;
  *error = std::string("cannot record the ") + what + " in " + markerPath(name).host() + ": " + reason;
  return false;
}

bool markFinished(const char* name, std::string* error) {
  std::string reason;
  if (removeUnitFile(markerPath(name), &reason)) return true;
  *error = "cannot remove " + markerPath(name).host() + ": " + reason;
  return false;
}

}  // namespace

bool applyPending() { return pending(kApplyMarkerName); }

bool markApplyStarted(std::string* error) {
  return markStarted(kApplyMarkerName, "a customization apply is under way; the next boot finishes it\n",
                     "customization apply", error);
}

bool markApplyFinished(std::string* error) { return markFinished(kApplyMarkerName, error); }

bool initialisePending() { return pending(kInitialiseMarkerName); }

bool markInitialiseStarted(std::string* error) {
  return markStarted(kInitialiseMarkerName,
                     "an initialisation of the product files is under way; the next boot finishes it\n",
                     "initialisation", error);
}

bool markInitialiseFinished(std::string* error) { return markFinished(kInitialiseMarkerName, error); }

}  // namespace sysdatactl
