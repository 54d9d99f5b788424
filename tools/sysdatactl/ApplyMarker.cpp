#include "ApplyMarker.h"

#include "UnitAccess.h"

namespace sysdatactl {

namespace {

UnitPath markerPath() { return UnitPath(std::string("/") + kApplyMarkerName); }

}  // namespace

bool applyPending() { return unitIsRegularFile(markerPath()); }

bool markApplyStarted(std::string* error) {
  // A durable replacement: the record is whole or absent after a cut, and a
  // record left by a cut apply is simply replaced.
  static const char kText[] = "a customization apply is under way; the next boot finishes it\n";
  std::string reason;
  if (replaceUnitFile(markerPath(), kText, 0644, &reason)) return true;
  *error = "cannot record the customization apply in " + markerPath().host() + ": " + reason;
  return false;
}

bool markApplyFinished(std::string* error) {
  std::string reason;
  if (removeUnitFile(markerPath(), &reason)) return true;
  *error = "cannot remove " + markerPath().host() + ": " + reason;
  return false;
}

}  // namespace sysdatactl
