#include "platform/datetime.h"
#include "platform/hostlookup.h"
#include "platform/registry.h"
#include "platform/textcodec.h"
#include "support/test_env.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace zeph;

TEST(Text, CodePage1250AndCase)
{
    const std::string czech = "Příliš žluťoučký kůň úpěl ďábelské ódy";
    std::string ansi = text::utf8ToCp1250(czech);
    EXPECT_EQ(ansi.size(), text::lengthChars(czech));
    EXPECT_EQ(text::cp1250ToUtf8(ansi), czech);
    EXPECT_EQ(text::fromAnsi(ansi), czech);
    EXPECT_EQ(text::fromAnsi(czech), czech);
    EXPECT_EQ(text::utf8ToCp1250("a€b中"), "a\x80" "b?");
    EXPECT_EQ(text::toUpper("čeština ďábel"), "ČEŠTINA ĎÁBEL");
    EXPECT_EQ(text::toLower("ŘÍJEN"), "říjen");
    EXPECT_TRUE(text::equalsNoCase("Žák", "žÁK"));
    EXPECT_EQ(text::truncateChars("čšř", 2), "čš");
    EXPECT_FALSE(text::isValidUtf8("\xC3"));
}

TEST(Dates, SerialDayCounts)
{
    struct Case { dt::DateTime t; double serial; };
    const Case cases[] = {
        {{1899, 12, 30, 0, 0, 0, 0}, 0.0},
        {{1900, 1, 1, 0, 0, 0, 0}, 2.0},
        {{2008, 3, 24, 10, 30, 0, 0}, 39531.4375},
        {{2013, 12, 1, 0, 0, 0, 0}, 41609.0},
        {{1899, 12, 29, 6, 0, 0, 0}, -1.25},
    };
    for (auto& c : cases) {
        EXPECT_DOUBLE_EQ(dt::toSerial(c.t), c.serial);
        EXPECT_EQ(dt::fromSerial(c.serial).value(), c.t) << c.serial;
    }
    EXPECT_FALSE(dt::fromSerial(1e300));
    EXPECT_EQ(dt::daysBetween({2014, 12, 31}, {2015, 1, 30}), 30);
}

TEST(Dates, ShortDateFormatFollowsTheLocale)
{
    // The test main pins a Czech locale.
    EXPECT_EQ(dt::shortDateFormat(), "d.M.yyyy");
    EXPECT_EQ(dt::dateSeparator(), '.');
    EXPECT_EQ(dt::timeSeparator(), ':');
    EXPECT_EQ(dt::formatShortDate({2013, 12, 1}), "1.12.2013");
    EXPECT_EQ(dt::parseShortDate("31.12.2014").value(), (dt::Date{2014, 12, 31}));
    EXPECT_FALSE(dt::parseShortDate("31.2.2014"));
    EXPECT_FALSE(dt::parseShortDate("1.12.2013x"));
    EXPECT_EQ(dt::formatDate({2008, 3, 4}, "dd/MM/yyyy"), "04/03/2008");
    EXPECT_EQ(dt::parseDate("03/04/2008", "MM/dd/yyyy").value(), (dt::Date{2008, 3, 4}));
}

TEST(HostLookup, ResolvesAndTakesTheConfiguredServer)
{
    EXPECT_EQ(net::resolveIPv4("127.0.0.1").value_or(""), "127.0.0.1");
    EXPECT_EQ(net::resolveIPv4("localhost").value_or(""), "127.0.0.1");
    EXPECT_FALSE(net::resolveIPv4("no-such-host.invalid"));

    test::IsolatedHome home;
    EXPECT_EQ(net::updateServer(), net::kDefaultUpdateServer);
    reg::Key::open(reg::Root::LocalMachine, "Software\\Varnholt\\Zephlon8", true)->setText("UpdateServer", "upd.example:8080");
    EXPECT_EQ(net::updateServer(), "upd.example:8080");
    EXPECT_EQ(net::updateServerHost(), "upd.example");
    setenv("ZEPH_UPDATE_SERVER", "127.0.0.1:9999", 1);
    EXPECT_EQ(net::updateServer(), "127.0.0.1:9999");
    EXPECT_EQ(net::updateServerHost(), "127.0.0.1");
    unsetenv("ZEPH_UPDATE_SERVER");
}
