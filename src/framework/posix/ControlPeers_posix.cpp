// The native build has no windows: every form runs headless.
#include "framework/Controls.h"

std::unique_ptr<TControlPeer> CreateNativePeer(TControl &) { return nullptr; }

int MeasureText(const TFontStyle &, const std::string &text) { return EstimateTextWidth(text); }
