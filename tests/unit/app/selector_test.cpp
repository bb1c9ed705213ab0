// Guards the selector address: the fourteen pairs in their order with values as they
// stand, and the selection id, the MD5 of the address up to "extdp=" and the tick count as
// a signed number (a tick count past 2^31 is negative), which the selector's server and
// the later download both rely on.
#include <gtest/gtest.h>

#include "selector.h"

namespace {

TEST(SelectorAddress, CarriesEveryPairAndAnIdMadeFromTheTickCount) {
  SelectorSettings settings;
  settings.ServerRootURL = "http://s/sel/";
  settings.StartPage = "start.jsp";
  settings.Language = "de";
  settings.Email = "a b@c.d";
  settings.Password = "p&w=1";
  UnitRecord unit;
  unit.heatExchanger = "rotary";
  ConnectionMap& connections = unit.parts[0].connections;
  connections[CONN_SUPPLY].airflow = 1234.5;
  connections[CONN_SUPPLY].pressure = 250;
  connections[CONN_EXTRACT].airflow = 0.1;
  connections[CONN_EXTRACT].pressure = 99.99;

  const std::string prefix =
      "http://s/sel/start.jsp?lang=de&email=a b@c.d&passw=p&w=1&hex=rotary&supqv=1234.50&supdp=250.00"
      "&exhqv=0.00&exhdp=0.00&outqv=0.00&outdp=0.00&extqv=0.10&extdp=99.99";
  std::string id = "stale";
  EXPECT_EQ(selectorAddress(unit, settings, 0xFFFFFFFFu, id),
            prefix + "&dcsid=EA70AB1A7E2A9E9D2E7BC4F611D19F04&plugVers=200811");
  EXPECT_EQ(id, "EA70AB1A7E2A9E9D2E7BC4F611D19F04");

  std::string again, later;
  selectorAddress(unit, settings, 123456, again);
  EXPECT_EQ(again, "35F30BDDF26484FC9131D6275AD15FD5");
  selectorAddress(unit, settings, 123456, later);
  EXPECT_EQ(later, again);
  EXPECT_NE(makeSelectionId(prefix, 123457), again);
}

}  // namespace
