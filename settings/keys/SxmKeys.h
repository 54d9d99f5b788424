// Keys of the satellite radio settings files, in reset order:
// KEY(Name, Type, Default). Type is Int, UInt, Bool, UChar or String.
#pragma once

#define SYSDATA_SXM_SETTING_KEYS(KEY)   \
  KEY(ContentsAlert, Int, 1)            \
  KEY(SeekMode, Int, 0)                 \
  KEY(SportsFlash, Int, 1)              \
  KEY(TuneStart, Int, 1)                \
  KEY(SportsFlashBeep, Bool, true)      \
  KEY(FeaturedFavoritesUpdateMsg, Bool, true)
