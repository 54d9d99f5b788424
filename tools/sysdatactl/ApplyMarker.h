// The host's record that a customization apply is under way.
//
// The library applies a dealer's customization one key at a time, each a
// durable replacement of its whole file: a power cut in the middle leaves
// files that are well formed but hold only part of the customization. So the
// host records, durably and before the first key is written, that an apply
// has started, and removes the record durably once the apply returned. A
// record found at the next power-on means the apply was cut: boot finishes
// it, verify reports it. The record lives in the unit's directory and is
// written through the stand-in's root-confined file system like every other
// file of the unit. Whatever it holds (a cut may leave it empty), its
// presence is what counts.
#pragma once

#include <string>

namespace sysdatactl {

constexpr const char* kApplyMarkerName = "customize-apply.pending";

// Whether the powered-on unit holds the record (a regular file of that name
// in the unit's top directory).
bool applyPending();
// Writes the record durably (file synced, directory synced). False with the
// file and the system's reason.
bool markApplyStarted(std::string* error);
// Removes the record durably; a missing record is fine.
bool markApplyFinished(std::string* error);

}  // namespace sysdatactl
