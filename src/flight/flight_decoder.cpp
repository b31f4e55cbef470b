#include "flight/flight_decoder.h"

#include "driver/fatal_error.h"

namespace datmend {

// PENDING: replaced by the flight decoder.
void convert_flights(const FileState&, const Options&, CsvWriter&) { fatal_error("PENDING decoder"); }
void finish_sample(SampleRecord&, uint32_t, uint16_t) {}

}  // namespace datmend
