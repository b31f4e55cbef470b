#include "flight/sample_record.h"

namespace datmend {

void reset_sample(SampleRecord& sample, uint16_t model) {
  sample.values.fill(INITIAL_VALUE);
  // On the twin these two slots hold the second engine's T1 and CDT and start like the
  // others; on a single engine they are HP and the RPM high byte, which start at 0.
  if (model != TWIN_MODEL) {
    sample.values[HP_SLOT] = 0;
    sample.values[RPM_HIGH_SLOT] = 0;
  }
  sample.dif.fill(0);
  sample.na_bits.fill(0);
}

}  // namespace datmend
