// The cycle's services on the program's own web retrieval and image pipeline.
#pragma once
#include "cycle/CycleServices.h"

namespace sf {

struct TShared;
class TWebFetch;
class TConverter;

/// Fetches on fetch's RidgeCli, scans and decodes listings, converts with converter.
/// The references must outlive the services.
TCycleServices ProgramCycleServices(TShared& s, TWebFetch& fetch, TConverter& converter);

} // namespace sf
