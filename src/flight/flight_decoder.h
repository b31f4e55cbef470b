// The flight walk: every flight of the directory is bounds-checked and, unless "-f#" skips
// it, decoded record by record into one CSV file. Every failure is fatal (fatal_error).
#ifndef DATMEND_FLIGHT_FLIGHT_DECODER_H_
#define DATMEND_FLIGHT_FLIGHT_DECODER_H_

#include <cstdint>

#include "csv/csv_writer.h"
#include "driver/options.h"
#include "flight/sample_record.h"
#include "header/file_state.h"

namespace datmend {

// Converts the flights of the loaded file, whose header has been read.
void convert_flights(const FileState& state, const Options& options, CsvWriter& csv);

// After a record's values are applied: computes each engine's dif over the first cylinder
// count E slots and, with feature bit 26, merges the RPM high byte (slot 42) into slot 41.
void finish_sample(SampleRecord& sample, uint32_t flags, uint16_t model);

}  // namespace datmend

#endif  // DATMEND_FLIGHT_FLIGHT_DECODER_H_
