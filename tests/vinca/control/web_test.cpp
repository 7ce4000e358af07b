// Web links: how a link is joined with the base and made a URL, which URLs
// may leave the control, and the navigation members over a recording
// opener (the process prompt).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "platform/com/dispatch_client.h"
#include "platform/ui/process_prompt.h"
#include "support/scripted_prompt.h"
#include "support/temp_dir.h"
#include "vinca/control/control.h"
#include "vinca/control/web.h"

using plat::Variant;

namespace {

TEST(WebLinks, JoinWithTheBase) {
    struct Case {
        const char* base;
        const char* link;
        const char* joined;
    } cases[] = {
        {"http://h/docs/", "/a.html", "http://h/docs/a.html"}, // one separator at the seam
        {"http://h/docs", "a.html", "http://h/docs/a.html"},
        {"http://h/docs/", "a.html", "http://h/docs/a.html"},
        {"http://h/docs", "/a.html", "http://h/docs/a.html"},
        {"http://h/docs\\", "\\a.html", "http://h/docs\\a.html"},
        {"", "a.html", "a.html"},
        {"http://h/", "ftp://other/x", "ftp://other/x"},
        {"http://h/", "C:\\pages\\a.htm", "C:\\pages\\a.htm"},
    };
    for (const Case& c : cases) EXPECT_EQ(vinca::JoinWebLink(c.base, c.link), c.joined) << c.base << " + " << c.link;
}

TEST(WebLinks, OnlyFiveSchemesLeaveAndNoFileThatRuns) {
    kltest::TempDir tmp;
    const std::string page = (tmp / "page.html").string();
    const std::string program = (tmp / "tool").string();
    std::ofstream(page) << "<p>";
    std::ofstream(program) << "#!/bin/sh\n";
    ::chmod(program.c_str(), 0755);

    EXPECT_EQ(vinca::WebUrlFor("http://example.test/a b#top"), "http://example.test/a%20b#top");
    EXPECT_EQ(vinca::WebUrlFor("https://example.test/"), "https://example.test/");
    EXPECT_EQ(vinca::WebUrlFor("ftp://example.test/f.zip"), "ftp://example.test/f.zip");
    EXPECT_EQ(vinca::WebUrlFor("mailto:someone@example.test"), "mailto:someone@example.test");
    EXPECT_EQ(vinca::WebUrlFor("C:\\pages\\a.htm"), "file:///pages/a.htm");
    EXPECT_EQ(vinca::WebUrlFor(page), "file://" + page);
    EXPECT_EQ(vinca::WebUrlFor("file://" + page), "file://" + page);

    for (const std::string& refused :
         {std::string("javascript:alert(1)"), std::string("smb://host/share"), std::string("a.html"),
          std::string("http://"), std::string(""), program, "file://" + program,
          std::string("/usr/share/applications/x.desktop"), std::string("file:///tmp/LAUNCH.DESKTOP")})
        EXPECT_EQ(vinca::WebUrlFor(refused), "") << refused;
}

class WebMembers : public ::testing::Test {
  protected:
    void SetUp() override {
        previous = plat::ui::SetProcessPrompt(&opener);
        ctl = plat::make_object<vinca::CVincaCtrl>();
        ASSERT_EQ(ctl->InitNew(), plat::S_OK);
    }
    void TearDown() override { plat::ui::SetProcessPrompt(previous); }

    int16_t call(std::string_view name, std::vector<Variant> args = {}) {
        Variant result;
        plat::CallError e;
        EXPECT_EQ(plat::dispatch_call(ctl.get(), name, args, &result, &e), plat::S_OK) << e.number;
        return result.iVal;
    }
    std::vector<std::string> opened() const {
        std::vector<std::string> out;
        for (const auto& s : opener.seen())
            if (s.kind == kltest::PromptKind::Url) out.push_back(s.text);
        return out;
    }
    void expect_url(std::string url, bool taken = true) {
        kltest::ExpectedPrompt e;
        e.kind = kltest::PromptKind::Url;
        e.match = std::move(url);
        e.url_taken = taken;
        opener.expect(std::move(e));
    }

    kltest::ScriptedPrompt opener;
    plat::ui::IPrompt* previous{nullptr};
    plat::ComPtr<vinca::CVincaCtrl> ctl;
};

TEST_F(WebMembers, NavigateBackAndForwardHandOverTheKeptUrls) {
    // Nothing handed over yet: going back or forward opens nothing.
    EXPECT_EQ(call("WebGoBack"), 0);
    EXPECT_EQ(call("WebGoForward"), 0);

    expect_url("http://a.test/");
    expect_url("http://b.test/");
    expect_url("http://a.test/");
    expect_url("http://c.test/");
    EXPECT_EQ(call("WebNavigate", {Variant(std::string_view("http://a.test/"))}), 0);
    EXPECT_EQ(call("WebNavigate", {Variant(std::string_view("http://b.test/")), Variant(std::string_view("frame")),
                                   Variant(int16_t(1))}),
              0);
    EXPECT_EQ(call("WebGoBack"), 0);    // a again
    EXPECT_EQ(call("WebGoBack"), 0);    // already the first: nothing
    // A navigation after going back drops what lay ahead.
    EXPECT_EQ(call("WebNavigate", {Variant(std::string_view("http://c.test/"))}), 0);
    EXPECT_EQ(call("WebGoForward"), 0); // nothing ahead
    EXPECT_EQ(opened(), (std::vector<std::string>{"http://a.test/", "http://b.test/", "http://a.test/",
                                                  "http://c.test/"}));
}

TEST_F(WebMembers, RefusedUrlsGiveTwoAndUntakenOnesOneAndNeitherIsKept) {
    EXPECT_EQ(call("WebNavigate", {Variant(std::string_view("javascript:alert(1)"))}), 2);
    // An opener that takes nothing: no browser.
    expect_url("http://down.test/", false);
    EXPECT_EQ(call("WebNavigate", {Variant(std::string_view("http://down.test/"))}), 1);
    EXPECT_EQ(call("WebGoBack"), 0);
    EXPECT_EQ(opened(), std::vector<std::string>{"http://down.test/"});
}

TEST_F(WebMembers, AutomaticNavigationJoinsTheBaseOnlyWhenSwitchedOn) {
    plat::CallError e;
    vinca::AutoNavigate(*ctl, "guide.html"); // off by default
    EXPECT_TRUE(opened().empty());

    ASSERT_EQ(plat::dispatch_put(ctl.get(), "WebAutoNavigate", Variant(int16_t(1)), {}, &e), plat::S_OK);
    ASSERT_EQ(plat::dispatch_put(ctl.get(), "WebURLBase", Variant(std::string_view("http://h.test/docs/")), {}, &e),
              plat::S_OK);
    expect_url("http://h.test/docs/guide.html#intro");
    vinca::AutoNavigate(*ctl, "/guide.html#intro");
    vinca::AutoNavigate(*ctl, ""); // an item without a link
    EXPECT_EQ(opened(), std::vector<std::string>{"http://h.test/docs/guide.html#intro"});

    EXPECT_NE(plat::dispatch_put(ctl.get(), "WebAutoNavigate", Variant(int16_t(2)), {}, &e), plat::S_OK);
    EXPECT_EQ(e.number, 380);
}

} // namespace
