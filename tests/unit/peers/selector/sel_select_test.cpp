// Guards the selector's judgement: which units serve a demand, in which order, why the
// others do not, and the figures at the operating point, so that a designer is never
// offered a unit that cannot move the air or is shown another unit's figures.
#include "sel_select.h"

#include <gtest/gtest.h>

#include <map>

#include "sel_fixture.h"

using namespace catalog;

namespace {

SelDemand demand(double airflow, const char* exchanger = "cross") {
  SelDemand d;
  d.exchanger = exchanger;
  d.selectionId = "0123456789ABCDEF0123456789ABCDEF";
  for (double& q : d.airflow) q = airflow;
  d.pressure[UNIT_SUPPLY] = 250;
  d.pressure[UNIT_EXTRACT] = 220;
  d.pressure[UNIT_OUTDOOR] = 80;
  d.pressure[UNIT_EXHAUST] = 90;
  return d;
}

std::vector<std::string> ids(const std::vector<SelChoice>& choices, bool serving) {
  std::vector<std::string> out;
  for (const SelChoice& c : choices)
    if (c.serves == serving) out.push_back(c.unit->id);
  return out;
}

std::string reasons(const std::vector<SelChoice>& choices, const std::string& id) {
  std::string out;
  for (const SelChoice& c : choices)
    if (c.unit->id == id)
      for (const std::string& r : c.reasons) out += r + "\n";
  return out;
}

const SelChoice& choice(const std::vector<SelChoice>& choices, const std::string& id) {
  for (const SelChoice& c : choices)
    if (c.unit->id == id) return c;
  throw std::runtime_error("no " + id);
}

}  // namespace

TEST(SelSelect, ServingUnitsComeFirstBestFitFirstAndTheOthersSayWhyNot) {
  SelCatalog cat = seltest::catalogue();
  std::vector<SelChoice> got = sel_select(cat, demand(333.33));  // 1200 m3/h against 330 and 310 Pa
  EXPECT_EQ(ids(got, true), (std::vector<std::string>{"CX-1200", "CX-1800"}));
  EXPECT_EQ(ids(got, false), (std::vector<std::string>{"CX-3000", "RX-1000"}));
  EXPECT_NEAR(choice(got, "CX-1200").load, 1.0, 1e-4);
  EXPECT_NEAR(choice(got, "CX-1800").load, 1200.0 / 1800.0, 1e-4);
  EXPECT_EQ(reasons(got, "CX-3000"),
            "supply fan: 1200 m³/h is below the least airflow of 1500 m³/h\n"
            "extract fan: 1200 m³/h is below the least airflow of 1500 m³/h\n");
  EXPECT_NE(reasons(got, "RX-1000").find("it has a rotary heat exchanger, the demand asks for cross-flow\n"),
            std::string::npos);
  EXPECT_NE(reasons(got, "RX-1000").find("supply fan: the ducts need 330 Pa, the unit has 240 Pa left at 1200 m³/h"),
            std::string::npos)
      << reasons(got, "RX-1000");

  // 1350 m3/h lies halfway between nominal (420 Pa) and most (300 Pa): 360 Pa are left.
  SelDemand d = demand(375);
  d.pressure[UNIT_SUPPLY] = 290;  // with the outdoor 80 Pa: 370 Pa needed, 10 too many
  got = sel_select(cat, d);
  EXPECT_NEAR(choice(got, "CX-1200").fans[SEL_SUPPLY_FAN].available, 360.0, 1e-9);
  EXPECT_NEAR(choice(got, "CX-1200").fans[SEL_EXTRACT_FAN].available, 360.0, 1e-9);
  EXPECT_EQ(reasons(got, "CX-1200"), "supply fan: the ducts need 370 Pa, the unit has 360 Pa left at 1350 m³/h\n");
  EXPECT_EQ(ids(got, true), (std::vector<std::string>{"CX-1800"}));

  // Above the range, and a type that no unit has.
  EXPECT_NE(reasons(sel_select(cat, demand(500)), "CX-1200").find("1800 m³/h is above the most airflow of 1500"),
            std::string::npos);
  EXPECT_TRUE(ids(sel_select(cat, demand(333.33, "plate")), true).empty());
}

TEST(SelSelect, EachFanMovesTheLargerAirflowOfItsConnectionsAndSkippedFansAreNotChecked) {
  SelCatalog cat = seltest::catalogue();
  SelDemand d = demand(0);
  d.airflow[UNIT_SUPPLY] = 300;
  d.airflow[UNIT_OUTDOOR] = 350;  // the supply fan draws 350 l/s outdoors
  std::vector<SelChoice> got = sel_select(cat, d);
  const SelChoice& c = choice(got, "CX-1200");
  EXPECT_TRUE(c.fans[SEL_SUPPLY_FAN].given);
  EXPECT_NEAR(c.fans[SEL_SUPPLY_FAN].airflow, 1260.0, 1e-9);
  EXPECT_NEAR(c.fans[SEL_SUPPLY_FAN].needed, 330.0, 1e-9);
  EXPECT_FALSE(c.fans[SEL_EXTRACT_FAN].given);  // extract and exhaust were skipped
  EXPECT_NEAR(c.load, 1260.0 / 1200.0, 1e-9);
  EXPECT_NEAR(c.velocity[UNIT_EXTRACT], 0.0, 1e-12);
  EXPECT_NEAR(c.velocity[UNIT_SUPPLY], 0.3 / (3.14159265358979 * 0.315 * 0.315 / 4), 1e-6);

  // Nothing picked at all: every unit of the type serves, smallest first.
  got = sel_select(cat, demand(0));
  EXPECT_EQ(ids(got, true), (std::vector<std::string>{"CX-1200", "CX-1800", "CX-3000"}));
  EXPECT_EQ(choice(got, "CX-1200").load, 0.0);
}

TEST(SelSelect, SoundFollowsTheFanLawsAtTheOperatingPoint) {
  SelCatalog cat = seltest::catalogue();
  SelDemand d = demand(0);
  d.airflow[UNIT_SUPPLY] = d.airflow[UNIT_OUTDOOR] = 333.33 / 2;   // half the nominal airflow: -15 dB
  d.airflow[UNIT_EXTRACT] = d.airflow[UNIT_EXHAUST] = 333.33 * 1.2;  // 1.2 times: +4 dB
  std::vector<SelChoice> got = sel_select(cat, d);
  const SelChoice& c = choice(got, "CX-1200");
  const UnitData& u = c.unit->data;
  for (int b = 0; b < kOctaveBands; ++b) {
    EXPECT_EQ(c.sound[UNIT_SUPPLY][b], u.sound[UNIT_SUPPLY][b] - 15);
    EXPECT_EQ(c.sound[UNIT_OUTDOOR][b], u.sound[UNIT_OUTDOOR][b] - 15);
    EXPECT_EQ(c.sound[UNIT_EXTRACT][b], u.sound[UNIT_EXTRACT][b] + 4);
    EXPECT_EQ(c.surrounding[b], u.surrounding[b] + 4);  // the busier fan is heard outside
  }
  // Eight bands of 70 dB add up to 77 dB(A).
  EXPECT_NEAR(c.soundA[UNIT_SUPPLY], 77.0, 0.1);
}
