#include "csv/column_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "flight/flight_format.h"

namespace datmend {
namespace {

constexpr uint16_t kSingle = 700;

constexpr uint32_t bits(std::initializer_list<int> numbers) {
  uint32_t flags = 0;
  for (const int n : numbers) flags |= uint32_t{1} << n;
  return flags;
}

constexpr uint32_t bit_range(int first, int last) {
  uint32_t flags = 0;
  for (int n = first; n <= last; ++n) flags |= uint32_t{1} << n;
  return flags;
}

// The column-name row as the writer walks it: pass 0, then pass 1 of the twin, all rows in
// order, each selected row adding prefix and name.
std::string name_row(uint32_t flags, uint16_t model) {
  std::string row;
  for (int pass = 0; pass < engine_pass_count(model); ++pass) {
    for (const ColumnDef& column : column_table) {
      if (!column_selected(column, pass, flags, model)) continue;
      if (!row.empty()) row += ',';
      row += column_prefix(column, pass, model);
      row += column.name;
    }
  }
  return row;
}

size_t name_count(uint32_t flags, uint16_t model) {
  const std::string row = name_row(flags, model);
  if (row.empty()) return 0;
  size_t count = 1;
  for (const char c : row) count += c == ',';
  return count;
}

// The value fields of a data row: the same walk over every row but "MARK", each field
// written as what it prints ("s<slot>/<divisor>", "dif<pass>" or "NA").
std::vector<std::string> data_fields(uint32_t flags, uint16_t model) {
  std::vector<std::string> fields;
  for (int pass = 0; pass < engine_pass_count(model); ++pass) {
    for (int row = 0; row < DATA_COLUMN_COUNT; ++row) {
      const ColumnDef& column = column_table[row];
      if (!column_selected(column, pass, flags, model)) continue;
      const int32_t slot = column_slot(column, pass);
      if (slot == DIF_COLUMN) {
        fields.push_back("dif" + std::to_string(pass));
      } else if (slot == ABSENT_SLOT) {
        fields.push_back("NA");
      } else {
        fields.push_back("s" + std::to_string(slot) + "/" + std::to_string(column.divisor));
      }
    }
  }
  return fields;
}

// The table as the CSV files depend on it: name, per_engine, value_index, divisor,
// feature_mask, engine_mask of every row, in order.
TEST(ColumnTable, Rows) {
  const char* const expected[COLUMN_COUNT] = {
      "E1 1 0 1 00000800 0",    "E2 1 1 1 00001000 0",    "E3 1 2 1 00002000 0",
      "E4 1 3 1 00004000 0",    "E5 1 4 1 00008000 0",    "E6 1 5 1 00010000 0",
      "E7 1 24 1 00020000 0",   "E8 1 25 1 00040000 0",   "E9 1 26 1 00080000 0",
      "C1 1 8 1 00000004 0",    "C2 1 9 1 00000008 0",    "C3 1 10 1 00000010 0",
      "C4 1 11 1 00000020 0",   "C5 1 12 1 00000040 0",   "C6 1 13 1 00000080 0",
      "C7 1 27 1 00000100 0",   "C8 1 28 1 00000200 0",   "C9 1 29 1 00000400 0",
      "T1 1 6 1 00200000 0",    "T2 1 7 1 00400000 0",    "OIL 1 15 1 00100000 0",
      "DIF 1 -1 1 00001800 0",  "CLD 1 14 1 10000000 0",  "OAT 0 21 1 02000000 0",
      "CDT 1 18 1 00800000 0",  "IAT 1 19 1 01000000 0",  "BAT 0 20 10 00000001 1",
      "FF 1 23 10 08000000 0",  "USD 1 22 10 08000000 0", "BAT 0 20 10 00000001 2",
      "RPM 0 41 1 04000000 0",  "MAP 0 40 10 40000000 0", "HP 0 30 1 4C000000 0",
      "MARK 0 16 1 00000001 0",
  };
  for (int row = 0; row < COLUMN_COUNT; ++row) {
    const ColumnDef& c = column_table[row];
    char text[64];
    std::snprintf(text, sizeof text, "%s %u %d %u %08X %u", c.name, unsigned{c.per_engine},
                  static_cast<int>(c.value_index), static_cast<unsigned>(c.divisor),
                  static_cast<unsigned>(c.feature_mask), static_cast<unsigned>(c.engine_mask));
    EXPECT_EQ(std::string(text), expected[row]) << "row " << row + 1;
  }
  EXPECT_EQ(column_table[COLUMN_COUNT - 1].value_index, MARK_SLOT);
}

TEST(ColumnTable, EnginePassCount) {
  EXPECT_EQ(engine_pass_count(TWIN_MODEL), 2);
  for (const uint16_t model : {uint16_t{0}, uint16_t{700}, uint16_t{759}, uint16_t{761},
                               uint16_t{930}, uint16_t{0xFFFF}}) {
    EXPECT_EQ(engine_pass_count(model), 1) << model;
  }
}

TEST(ColumnTable, NameRows) {
  const uint32_t example = bits({0, 20, 25, 27}) | bit_range(2, 7) | bit_range(11, 16);
  struct Case {
    const char* label;
    uint32_t flags;
    uint16_t model;
    const char* names;
  };
  const Case cases[] = {
      {"single example", example, kSingle,
       "E1,E2,E3,E4,E5,E6,C1,C2,C3,C4,C5,C6,OIL,DIF,OAT,BAT,FF,USD,MARK"},
      {"twin example", example | bits({26, 30}), TWIN_MODEL,
       "LE1,LE2,LE3,LE4,LE5,LE6,LC1,LC2,LC3,LC4,LC5,LC6,LOIL,LDIF,LFF,LUSD,"
       "RE1,RE2,RE3,RE4,RE5,RE6,RC1,RC2,RC3,RC4,RC5,RC6,ROIL,RDIF,OAT,RFF,RUSD,BAT,RPM,MAP,HP,"
       "MARK"},
      {"no flags, single", 0, kSingle, ""},
      {"no flags, twin", 0, TWIN_MODEL, ""},
      {"bit 11 alone: no DIF", bits({11}), kSingle, "E1"},
      {"bit 12 alone: no DIF", bits({12}), kSingle, "E2"},
      {"bits 11 and 12 bring DIF", bits({11, 12}), kSingle, "E1,E2,DIF"},
      {"DIF per engine on the twin", bits({11, 12}), TWIN_MODEL, "LE1,LE2,LDIF,RE1,RE2,RDIF"},
      {"RPM and MAP without HP", bits({26, 30}), kSingle, "RPM,MAP"},
      {"HP needs bits 26, 27 and 30", bits({26, 27, 30}), kSingle, "FF,USD,RPM,MAP,HP"},
      {"HP without 27 on the twin", bits({26, 30}), TWIN_MODEL, "RPM,MAP"},
      {"FF and USD together", bits({27}), kSingle, "FF,USD"},
      {"bit 0: BAT and MARK", bits({0}), kSingle, "BAT,MARK"},
      {"bit 0 on the twin: one BAT, no prefix", bits({0}), TWIN_MODEL, "BAT,MARK"},
      {"bits that select nothing", bits({1, 29, 31}), kSingle, ""},
      {"bits that select nothing, twin", bits({1, 29, 31}), TWIN_MODEL, ""},
      {"twin BAT after RUSD, OAT between RCLD and RCDT", bits({0, 23, 25, 27, 28}), TWIN_MODEL,
       "LCLD,LCDT,LFF,LUSD,RCLD,OAT,RCDT,RFF,RUSD,BAT,MARK"},
      {"single BAT after IAT, before FF", bits({0, 24, 27}), kSingle, "IAT,BAT,FF,USD,MARK"},
      {"twin E7-E9 and C7-C9 keep their names", bit_range(8, 10) | bit_range(17, 19), TWIN_MODEL,
       "LE7,LE8,LE9,LC7,LC8,LC9,RE7,RE8,RE9,RC7,RC8,RC9"},
      {"all bits, single", 0xFFFFFFFF, kSingle,
       "E1,E2,E3,E4,E5,E6,E7,E8,E9,C1,C2,C3,C4,C5,C6,C7,C8,C9,T1,T2,OIL,DIF,CLD,OAT,CDT,IAT,"
       "BAT,FF,USD,RPM,MAP,HP,MARK"},
      {"all bits, twin", 0xFFFFFFFF, TWIN_MODEL,
       "LE1,LE2,LE3,LE4,LE5,LE6,LE7,LE8,LE9,LC1,LC2,LC3,LC4,LC5,LC6,LC7,LC8,LC9,LT1,LT2,LOIL,"
       "LDIF,LCLD,LCDT,LIAT,LFF,LUSD,"
       "RE1,RE2,RE3,RE4,RE5,RE6,RE7,RE8,RE9,RC1,RC2,RC3,RC4,RC5,RC6,RC7,RC8,RC9,RT1,RT2,ROIL,"
       "RDIF,RCLD,OAT,RCDT,RIAT,RFF,RUSD,BAT,RPM,MAP,HP,MARK"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(name_row(c.flags, c.model), c.names) << c.label;
  }
}

TEST(ColumnTable, AllBitsCounts) {
  EXPECT_EQ(name_count(0xFFFFFFFF, kSingle), 33u);
  EXPECT_EQ(name_count(0xFFFFFFFF, TWIN_MODEL), 60u);
  EXPECT_EQ(data_fields(0xFFFFFFFF, kSingle).size(), 32u);
  EXPECT_EQ(data_fields(0xFFFFFFFF, TWIN_MODEL).size(), 59u);
}

// What every data field prints, with all flags: the twin's second engine reads 24 slots
// higher, but its E7-E9 and C7-C9 have no slot and print "NA".
TEST(ColumnTable, DataFieldsWithAllBits) {
  const std::vector<std::string> single = {
      "s0/1",  "s1/1",  "s2/1",   "s3/1",   "s4/1",   "s5/1",  "s24/1",  "s25/1",
      "s26/1", "s8/1",  "s9/1",   "s10/1",  "s11/1",  "s12/1", "s13/1",  "s27/1",
      "s28/1", "s29/1", "s6/1",   "s7/1",   "s15/1",  "dif0",  "s14/1",  "s21/1",
      "s18/1", "s19/1", "s20/10", "s23/10", "s22/10", "s41/1", "s40/10", "s30/1"};
  EXPECT_EQ(data_fields(0xFFFFFFFF, kSingle), single);

  const std::vector<std::string> twin = {
      // pass 0
      "s0/1", "s1/1", "s2/1", "s3/1", "s4/1", "s5/1", "s24/1", "s25/1", "s26/1", "s8/1", "s9/1",
      "s10/1", "s11/1", "s12/1", "s13/1", "s27/1", "s28/1", "s29/1", "s6/1", "s7/1", "s15/1",
      "dif0", "s14/1", "s18/1", "s19/1", "s23/10", "s22/10",
      // pass 1
      "s24/1", "s25/1", "s26/1", "s27/1", "s28/1", "s29/1", "NA", "NA", "NA", "s32/1", "s33/1",
      "s34/1", "s35/1", "s36/1", "s37/1", "NA", "NA", "NA", "s30/1", "s31/1", "s39/1", "dif1",
      "s38/1", "s21/1", "s42/1", "s43/1", "s47/10", "s46/10", "s20/10", "s41/1", "s40/10", "s30/1"};
  EXPECT_EQ(data_fields(0xFFFFFFFF, TWIN_MODEL), twin);
}

// No row in any pass names a slot at or beyond the value slots.
TEST(ColumnTable, SlotsStayInsideTheValues) {
  for (int pass = -1; pass <= 2; ++pass) {
    for (const ColumnDef& column : column_table) {
      const int32_t slot = column_slot(column, pass);
      EXPECT_TRUE(slot == DIF_COLUMN || slot == ABSENT_SLOT || (slot >= 0 && slot < VALUE_SLOTS))
          << column.name << " pass " << pass << " slot " << slot;
      if (pass < 0 || pass > 1) {
        EXPECT_EQ(slot, ABSENT_SLOT) << column.name << " pass " << pass;
      }
    }
  }
  for (int row = 6; row <= 8; ++row) {
    EXPECT_EQ(column_slot(column_table[row], 0), 24 + (row - 6)) << column_table[row].name;
    EXPECT_EQ(column_slot(column_table[row], 1), ABSENT_SLOT) << column_table[row].name;
  }
  for (int row = 15; row <= 17; ++row) {
    EXPECT_EQ(column_slot(column_table[row], 0), 27 + (row - 15)) << column_table[row].name;
    EXPECT_EQ(column_slot(column_table[row], 1), ABSENT_SLOT) << column_table[row].name;
  }
}

TEST(ColumnTable, Prefixes) {
  for (const ColumnDef& column : column_table) {
    EXPECT_STREQ(column_prefix(column, 0, kSingle), "") << column.name;
    const bool per_engine = column.per_engine == 1;
    EXPECT_STREQ(column_prefix(column, 0, TWIN_MODEL), per_engine ? "L" : "") << column.name;
    EXPECT_STREQ(column_prefix(column, 1, TWIN_MODEL), per_engine ? "R" : "") << column.name;
  }
}

// A pass the model does not have selects nothing, whatever the flags.
TEST(ColumnTable, PassBeyondTheModelSelectsNothing) {
  for (const ColumnDef& column : column_table) {
    EXPECT_FALSE(column_selected(column, 1, 0xFFFFFFFF, kSingle)) << column.name;
    EXPECT_FALSE(column_selected(column, 2, 0xFFFFFFFF, TWIN_MODEL)) << column.name;
    EXPECT_FALSE(column_selected(column, -1, 0xFFFFFFFF, TWIN_MODEL)) << column.name;
  }
}

}  // namespace
}  // namespace datmend
