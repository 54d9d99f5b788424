// The host's records that a customization apply, or an initialisation of
// the product files, is under way.
//
// The library applies a dealer's customization one key at a time, each a
// durable replacement of its whole file: a power cut in the middle leaves
// files that are well formed but hold only part of the customization. An
// initialisation ('boot --init') resets the product files one after the
// other and then applies the stored customization: a cut in the middle
// leaves some files reset and others not, and a later plain boot would not
// touch them again. So the host records, durably and before the first file
// is written, that the work has started, and removes the record durably once
// it is done (an initialisation that failed for some file has still run to
// its end: the boot reported that). A record found at the next power-on
// means the work was cut: boot finishes it, verify reports it. The records live in the unit's
// directory and are written through the stand-in's root-confined file
// system like every other file of the unit. Whatever one holds (a cut may
// leave it empty), its presence is what counts.
#pragma once

#include <string>

namespace sysdatactl {

constexpr const char* kApplyMarkerName = "customize-apply.pending";
constexpr const char* kInitialiseMarkerName = "initialise.pending";

// Whether the powered-on unit holds the record (a regular file of that name
// in the unit's top directory).
bool applyPending();
// Writes the record durably (file synced, directory synced). False with the
// file and the system's reason.
bool markApplyStarted(std::string* error);
// Removes the record durably; a missing record is fine.
bool markApplyFinished(std::string* error);

// The same for an initialisation of the product files.
bool initialisePending();
bool markInitialiseStarted(std::string* error);
bool markInitialiseFinished(std::string* error);

}  // namespace sysdatactl
