#include "client/engine/transfer.h"

#include <sys/stat.h>
#include <utime.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "client/engine/errors.h"
#include "client/engine/url.h"
#include "support/object_server.h"
#include "support/servers.h"
#include "support/temp_dir.h"

namespace klc {
namespace {

class RecordingEngine : public CTransferEngine {
  public:
    struct Report {
        int32_t event;
        int64_t bytes;
        int64_t at; // the test clock when it came
        float fraction = 0;
    };
    std::function<void(int64_t bytes)> on_bytes;
    std::function<int64_t()> stamp = [] { return int64_t(0); };
    std::atomic<int> reports{0};
    std::vector<Report> log;

  protected:
    int32_t OnProgress(int32_t event, int64_t bytes, int64_t size, float fraction) override {
        ++reports;
        log.push_back({event, bytes, stamp(), fraction});
        if (event == EVENT_DOWNLOAD && on_bytes) on_bytes(bytes);
        return 0;
    }
};

// Serves a folder over HTTP and FTP and gives an engine that talks to it.
class TransferTest : public testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(m_served.path());
        std::filesystem::permissions(m_served.path(), std::filesystem::perms(0755));
    }

    std::string Serve(const std::string& name, const std::string& bytes) {
        kltest::write_file(m_served / name, bytes);
        return bytes;
    }

    CTransferSettings Direct() {
        CTransferSettings s;
        s.proxy_mode = PROXY_DIRECT;
        s.timeout = 20000;
        return s;
    }

    // Both schemes through the one proxy on loopback.
    CTransferSettings Proxied(uint16_t port) {
        CTransferSettings s = Direct();
        s.proxy_mode = PROXY_NAMED;
        s.http_proxy_server = s.ftp_proxy_server = "127.0.0.1";
        s.http_proxy_port = s.ftp_proxy_port = port;
        return s;
    }

    // Connects to the address's server and downloads its object.
    int64_t Fetch(CTransferEngine& engine, const std::string& address, const std::string& local,
                  int32_t flags = 0, int64_t max_size = -1) {
        CUrl url;
        url.Parse(address);
        CRequestInfo request;
        url.FillRequest(request);
        request.passive = 1;
        const int32_t state = engine.Connect(&request);
        if (state < 0) return state;
        return engine.Download(local, url.ObjectName(), std::nullopt, flags, max_size);
    }

    std::string Local(const std::string& name) const { return (m_local / name).string(); }

    kltest::TempDir m_served;
    kltest::TempDir m_local;
};

TEST_F(TransferTest, HttpDownloadsWholeFileWithItsTime) {
    const std::string body = Serve("a.bin", kltest::payload(300000));
    const std::string empty = Serve("empty.bin", "");
    utimbuf times{993218700, 993218700}; // 2001-06-22 14:05 UTC
    utime((m_served / "a.bin").c_str(), &times);
    kltest::NginxServer nginx(m_served.str());
    ASSERT_TRUE(nginx.start()) << nginx.log();

    RecordingEngine engine;
    CTransferSettings settings = Direct();
    ASSERT_TRUE(engine.OpenSession(&settings));
    EXPECT_EQ(Fetch(engine, nginx.url("/a.bin"), Local("a.bin"), DOWNLOAD_REMOTE_TIME), 300000);
    EXPECT_EQ(kltest::read_file(m_local / "a.bin"), body);
    struct stat st {};
    ASSERT_EQ(stat(Local("a.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 993218700);
    EXPECT_EQ(engine.RemoteSize(), 300000);

    EXPECT_EQ(Fetch(engine, nginx.url("/empty.bin"), Local("empty.bin")), 0);
    EXPECT_TRUE(std::filesystem::exists(m_local / "empty.bin"));
}

TEST_F(TransferTest, HttpFailures) {
    Serve("a.bin", "x");
    kltest::NginxServer nginx(m_served.str());
    ASSERT_TRUE(nginx.start()) << nginx.log();
    CTransferEngine engine;
    CTransferSettings settings = Direct();
    engine.OpenSession(&settings);

    EXPECT_EQ(Fetch(engine, nginx.url("/missing.bin"), Local("m.bin")), ERR_LOAD);
    // Redirects are not followed: a folder named without its "/" is no file.
    std::filesystem::create_directories(m_served / "folder");
    EXPECT_EQ(Fetch(engine, nginx.url("/folder"), Local("r.bin")), ERR_LOAD);
    // A local file that cannot be made, or cannot take the bytes.
    EXPECT_EQ(Fetch(engine, nginx.url("/a.bin"), Local("no/such/folder/a.bin")), ERR_TARGET_INVALID);
    EXPECT_EQ(Fetch(engine, nginx.url("/a.bin"), "/dev/full"), ERR_WRITE);
    EXPECT_EQ(Fetch(engine, "gopher://127.0.0.1/a.bin", Local("g.bin")), ERR_BAD_URL);

    const uint16_t dead = kltest::free_port();
    EXPECT_EQ(Fetch(engine, "http://127.0.0.1:" + std::to_string(dead) + "/a.bin", Local("d.bin")),
              ERR_BAD_SERVER);
    EXPECT_EQ(Fetch(engine, "ftp://127.0.0.1:" + std::to_string(dead) + "/a.bin", Local("d.bin")),
              ERR_BAD_SERVER);

    // After a disconnect the engine must connect again.
    RecordingEngine events;
    events.OpenSession(&settings);
    ASSERT_EQ(Fetch(events, nginx.url("/a.bin"), Local("e.bin")), 1);
    const int before = events.reports.load();
    EXPECT_TRUE(events.Disconnect());
    EXPECT_EQ(events.reports.load(), before + 2);
    EXPECT_EQ(events.Download(Local("e.bin"), "/a.bin"), ERR_CONNECTION_LOST);

    // Not connected, and no second operation while one holds the engine.
    CTransferEngine fresh;
    EXPECT_EQ(fresh.Download(Local("x"), "/a.bin"), ERR_CONNECTION_LOST);
    ASSERT_TRUE(fresh.IsReady());
    EXPECT_EQ(fresh.Download(Local("x"), "/a.bin"), ERR_UNDEFINED);
    fresh.Release();
}

// The local file's state before the download and what must come out of it.
TEST_F(TransferTest, HttpResumesPartialLocalFiles) {
    const std::string body = Serve("a.bin", kltest::payload(10000));
    kltest::NginxServer nginx(m_served.str());
    ASSERT_TRUE(nginx.start()) << nginx.log();
    CTransferEngine engine;
    CTransferSettings settings = Direct();
    engine.OpenSession(&settings);

    struct Case {
        const char* what;
        std::string local_before;
    } cases[] = {
        {"first 3000 bytes", body.substr(0, 3000)},
        {"complete already", body},
        {"longer than the remote file", kltest::payload(12000, 7)},
        {"empty", ""},
    };
    for (const Case& c : cases) {
        kltest::write_file(m_local / "a.bin", c.local_before);
        EXPECT_EQ(Fetch(engine, nginx.url("/a.bin"), Local("a.bin")), 10000) << c.what;
        EXPECT_EQ(kltest::read_file(m_local / "a.bin"), body) << c.what;
    }
    // Starting anew ignores what the local file held.
    kltest::write_file(m_local / "a.bin", kltest::payload(3000, 9));
    EXPECT_EQ(Fetch(engine, nginx.url("/a.bin"), Local("a.bin"), DOWNLOAD_CREATE), 10000);
    EXPECT_EQ(kltest::read_file(m_local / "a.bin"), body);
}

// A partial file is continued only with the proof the server gave for it;
// a server whose file changed since sends it whole, from its first byte.
TEST_F(TransferTest, PartialFilesResumeOnlyOnTheirProof) {
    const std::string body = Serve("a.bin", kltest::payload(10000));
    kltest::ObjectServer server(m_served.path());
    server.SetValidators("/a.bin", {"\"r1\"", ""});
    server.HoldAfter("/a.bin", 3000);
    RecordingEngine engine;
    CTransferSettings settings = Direct();
    engine.OpenSession(&settings);
    engine.SetBlockSize(1024);
    engine.on_bytes = [&](int64_t bytes) {
        if (bytes >= 3000) engine.Cancel();
    };
    EXPECT_EQ(Fetch(engine, server.url("/a.bin"), Local("a.bin")), ERR_CANCELLED);
    server.Release();
    ASSERT_EQ(kltest::read_file(m_local / "a.bin"), body.substr(0, 3000));
    engine.on_bytes = nullptr;
    engine.ResetCancel();

    EXPECT_EQ(Fetch(engine, server.url("/a.bin"), Local("a.bin")), 10000);
    EXPECT_EQ(kltest::read_file(m_local / "a.bin"), body);
    const std::string request = server.requests().back();
    EXPECT_NE(request.find("GET /a.bin HTTP/1.1\r\n"), std::string::npos) << request;
    EXPECT_NE(request.find("\r\nRange: bytes=3000-\r\n"), std::string::npos) << request;
    EXPECT_NE(request.find("\r\nIf-Range: \"r1\"\r\n"), std::string::npos) << request;
    EXPECT_NE(request.find("\r\nUser-Agent: KLite\r\n"), std::string::npos) << request;
    EXPECT_NE(request.find("\r\nAccept: text/*\r\n"), std::string::npos) << request;

    // Republished under the same name: the piece of the old file is not
    // continued with bytes of the new one, whether the server honours the
    // condition or answers with a range of its new file.
    for (bool lying : {false, true}) {
        const std::string next = Serve("a.bin", kltest::payload(10000, lying ? 3 : 2));
        server.SetValidators("/a.bin", {lying ? "\"r3\"" : "\"r2\"", ""});
        server.IgnoreIfRange(lying);
        std::filesystem::resize_file(m_local / "a.bin", 3000);
        EXPECT_EQ(Fetch(engine, server.url("/a.bin"), Local("a.bin")), 10000) << lying;
        EXPECT_TRUE(kltest::read_file(m_local / "a.bin") == next) << lying;
    }
    // Without its record a partial file is started again.
    std::filesystem::resize_file(m_local / "a.bin", 3000);
    std::filesystem::remove(CTransferEngine::ResumeRecordPath(Local("a.bin")));
    const size_t asked = server.requests().size();
    EXPECT_EQ(Fetch(engine, server.url("/a.bin"), Local("a.bin")), 10000);
    ASSERT_EQ(server.requests().size(), asked + 1);
    EXPECT_EQ(server.requests().back().find("Range:"), std::string::npos) << server.requests().back();
}

TEST_F(TransferTest, ResumeAtAnotherOffsetOrASilentServerFail) {
    const std::string body = kltest::payload(10000);
    CTransferEngine engine;
    CTransferSettings settings = Direct();
    settings.timeout = 1000;
    engine.OpenSession(&settings);

    // Asked for bytes 3000 on, the server sends a range from 0.
    kltest::TinyHttpServer shifted("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-9999/10000\r\n"
                                   "ETag: \"s\"\r\nContent-Length: 10000\r\nConnection: close\r\n\r\n" +
                                   body);
    EXPECT_EQ(Fetch(engine, shifted.url("/a.bin"), Local("a.bin")), 10000);
    std::filesystem::resize_file(m_local / "a.bin", 3000);
    EXPECT_EQ(Fetch(engine, shifted.url("/a.bin"), Local("a.bin")), ERR_OFFSET);
    EXPECT_EQ(kltest::read_file(m_local / "a.bin"), body.substr(0, 3000));

    // A cancel gets in while the engine waits for a server that says nothing.
    {
        kltest::TinyHttpServer mute("", SIZE_MAX, 20000);
        CTransferEngine patient;
        CTransferSettings slow = Direct();
        slow.timeout = 60000;
        patient.OpenSession(&slow);
        std::thread canceller([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            patient.Cancel();
        });
        // The server stays mute for far longer than the cancel takes: only
        // the cancel can end the wait with this result.
        EXPECT_EQ(Fetch(patient, "ftp://127.0.0.1:" + std::to_string(mute.port()) + "/a.bin", Local("c.bin")),
                  ERR_CANCELLED);
        canceller.join();
    }

    // A server that accepts and then says nothing is given up after the time-out.
    // It would answer only after a minute, so the result shows the engine's
    // own one-second time-out ended the wait.
    kltest::TinyHttpServer silent("HTTP/1.1 200 OK\r\n\r\n", SIZE_MAX, 60000);
    EXPECT_EQ(Fetch(engine, silent.url("/a.bin"), Local("s.bin")), ERR_NO_INTERNET);
}

TEST_F(TransferTest, AnswerWithoutLengthIsReadToItsEnd) {
    const std::string body = kltest::payload(70000);
    kltest::TinyHttpServer server("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body);
    CTransferEngine engine;
    CTransferSettings settings = Direct();
    engine.OpenSession(&settings);
    EXPECT_EQ(Fetch(engine, server.url("/a.bin"), Local("a.bin")), 70000);
    EXPECT_EQ(kltest::read_file(m_local / "a.bin"), body);
}

TEST_F(TransferTest, CutTransferIsRefusedThenResumes) {
    const std::string body = Serve("a.bin", kltest::payload(100000));
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\nConnection: close\r\n\r\n";
    kltest::TinyHttpServer cutting(head + body, head.size() + 40000);
    kltest::NginxServer nginx(m_served.str());
    ASSERT_TRUE(nginx.start()) << nginx.log();
    CTransferEngine engine;
    CTransferSettings settings = Direct();
    engine.OpenSession(&settings);

    // A short piece is never reported as a download.
    EXPECT_EQ(Fetch(engine, cutting.url("/a.bin"), Local("a.bin")), ERR_NO_INTERNET);
    EXPECT_EQ(std::filesystem::file_size(m_local / "a.bin"), 40000u);
    EXPECT_EQ(Fetch(engine, nginx.url("/a.bin"), Local("a.bin")), 100000);
    EXPECT_EQ(kltest::read_file(m_local / "a.bin"), body);
}

TEST_F(TransferTest, CancelStopsBetweenBlocksAndTheFileResumes) {
    const std::string body = Serve("big.bin", kltest::payload(3 * 1024 * 1024));
    kltest::NginxServer nginx(m_served.str(), "limit_rate 2m;");
    ASSERT_TRUE(nginx.start()) << nginx.log();
    RecordingEngine engine;
    CTransferSettings settings = Direct();
    engine.OpenSession(&settings);
    engine.SetBlockSize(1024);
    engine.on_bytes = [&](int64_t bytes) {
        if (bytes > 256 * 1024) engine.Cancel();
    };

    EXPECT_EQ(Fetch(engine, nginx.url("/big.bin"), Local("big.bin")), ERR_CANCELLED);
    const auto partial = std::filesystem::file_size(m_local / "big.bin");
    EXPECT_GT(partial, 0u);
    EXPECT_LT(partial, body.size());
    EXPECT_EQ(kltest::read_file(m_local / "big.bin"), body.substr(0, partial));

    // The rest, reported by the clock rather than per block. The test's
    // clock moves 150 ms each time the engine reads it, so with a 200 ms
    // interval every second reading after the first is due a report,
    // however fast the machine or the link.
    int64_t readings = 0;
    engine.SetProgressClock([&] { return ++readings * 150; });
    engine.stamp = [&] { return readings * 150; };
    engine.on_bytes = nullptr;
    engine.ResetCancel();
    engine.SetBlockSize(0);
    engine.SetFlags(TRANSFER_TIMED_PROGRESS);
    engine.SetProgressInterval(200);
    engine.log.clear();
    EXPECT_EQ(Fetch(engine, nginx.url("/big.bin"), Local("big.bin")), static_cast<int64_t>(body.size()));
    EXPECT_EQ(kltest::read_file(m_local / "big.bin"), body);

    std::vector<RecordingEngine::Report> reports;
    for (const auto& r : engine.log)
        if (r.event != EVENT_CONNECT) reports.push_back(r);
    ASSERT_GE(reports.size(), 2u);
    const auto& start = reports.front();
    const auto& end = reports.back();
    EXPECT_EQ(start.event, EVENT_DOWNLOAD);
    // The server proved the file is the same: the rest is asked for.
    EXPECT_EQ(start.bytes, static_cast<int64_t>(partial));
    EXPECT_EQ(end.event, STATE_DOWNLOAD_DONE);
    EXPECT_EQ(end.bytes, static_cast<int64_t>(body.size()));
    const int64_t readings_while_waiting = end.at / 150 - start.at / 150;
    const size_t timed = reports.size() - 2;
    // How often the engine woke depends on the machine; what it reported
    // for those wakings does not.
    EXPECT_EQ(timed, static_cast<size_t>((readings_while_waiting - 1) / 2));
    for (size_t i = 1; i + 1 < reports.size(); ++i) {
        EXPECT_EQ(reports[i].event, EVENT_DOWNLOAD);
        EXPECT_GE(reports[i].at - reports[i - 1].at, 200) << i;
        EXPECT_GE(reports[i].bytes, reports[i - 1].bytes) << i;
    }
}

// Bytes count when they arrive, although they reach the disk in large
// blocks: a slow link shows progress long before the first block is full.
// Each file starts its bar at nothing and ends it full.
TEST_F(TransferTest, ProgressFollowsTheBytesReceived) {
    const std::string body = Serve("a.bin", kltest::payload(200000));
    Serve("b.bin", kltest::payload(1000, 2));
    kltest::ObjectServer server(m_served.path());
    server.HoldAfter("/a.bin", 100000);
    RecordingEngine engine;
    CTransferSettings settings = Direct();
    engine.OpenSession(&settings);
    engine.SetBlockSize(1024);
    std::atomic<bool> seen{false};
    engine.on_bytes = [&](int64_t bytes) {
        if (bytes >= 100000 && !seen.exchange(true)) server.Release();
    };
    // Without a report of the held bytes the download would wait for ever.
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 1200 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        server.Release();
    });
    EXPECT_EQ(Fetch(engine, server.url("/a.bin"), Local("a.bin")), 200000);
    EXPECT_EQ(Fetch(engine, server.url("/b.bin"), Local("b.bin")), 1000);
    done = true;
    watchdog.join();
    EXPECT_TRUE(seen) << "no report while the server held the rest";
    EXPECT_EQ(kltest::read_file(m_local / "a.bin"), body);

    std::vector<RecordingEngine::Report> downloads;
    for (const auto& r : engine.log)
        if (r.event == EVENT_DOWNLOAD || r.event == STATE_DOWNLOAD_DONE) downloads.push_back(r);
    ASSERT_GE(downloads.size(), 4u);
    EXPECT_EQ(downloads.front().fraction, 0.0f);
    EXPECT_EQ(downloads.back().event, STATE_DOWNLOAD_DONE);
    EXPECT_EQ(downloads.back().fraction, 1.0f);
    // The second file's first report starts from nothing again.
    auto second = std::find_if(downloads.begin() + 1, downloads.end(),
                               [](const auto& r) { return r.event == STATE_DOWNLOAD_DONE; });
    ASSERT_NE(second, downloads.end());
    ASSERT_NE(second + 1, downloads.end());
    EXPECT_EQ((second + 1)->fraction, 0.0f);
    EXPECT_EQ((second + 1)->bytes, 0);
}

TEST_F(TransferTest, FtpDownloadsAndResumesWithoutASecondCopy) {
    const std::string body = Serve("pub/a.bin", kltest::payload(50000));
    utimbuf times{993218700, 993218700};
    utime((m_served / "pub" / "a.bin").c_str(), &times);
    kltest::FtpServer ftp(m_served.str());
    ASSERT_TRUE(ftp.start()) << ftp.log();
    CTransferEngine engine;
    CTransferSettings settings = Direct();
    engine.OpenSession(&settings);

    EXPECT_EQ(Fetch(engine, ftp.url("/pub/a.bin"), Local("a.bin"), DOWNLOAD_REMOTE_TIME), 50000);
    EXPECT_EQ(kltest::read_file(m_local / "a.bin"), body);
    EXPECT_EQ(std::filesystem::last_write_time(m_local / "a.bin"),
              std::filesystem::last_write_time(m_served / "pub" / "a.bin"));

    for (const std::string& before : {body.substr(0, 20000), body, kltest::payload(60000, 3)}) {
        kltest::write_file(m_local / "a.bin", before);
        EXPECT_EQ(Fetch(engine, ftp.url("/pub/a.bin"), Local("a.bin")), 50000) << before.size();
        EXPECT_EQ(kltest::read_file(m_local / "a.bin"), body) << before.size();
    }
    EXPECT_EQ(Fetch(engine, ftp.url("/pub/missing.bin"), Local("m.bin")), ERR_SIZE);
    // The server takes anonymous users only: a named login is refused at connect.
    const std::string named = "ftp://bob:pw@127.0.0.1:" + std::to_string(ftp.port()) + "/pub/a.bin";
    EXPECT_EQ(Fetch(engine, named, Local("n.bin")), ERR_BAD_SERVER);

    // Active mode: the server connects back for the data.
    CUrl url;
    url.Parse(ftp.url("/pub/a.bin"));
    CRequestInfo active;
    url.FillRequest(active);
    active.passive = 0;
    ASSERT_EQ(engine.Connect(&active), STATE_CONNECTED);
    EXPECT_EQ(engine.Download(Local("active.bin"), url.ObjectName()), 50000);
    EXPECT_EQ(kltest::read_file(m_local / "active.bin"), body);
    // A byte limit ends the download early, as a success.
    EXPECT_EQ(engine.Download(Local("limited.bin"), url.ObjectName(), 1000), 1000);
    EXPECT_EQ(kltest::read_file(m_local / "limited.bin"), body.substr(0, 1000));
}

TEST_F(TransferTest, ThroughTheProxy) {
    const std::string body = Serve("a.bin", kltest::payload(80000));
    kltest::NginxServer nginx(m_served.str());
    kltest::FtpServer ftp(m_served.str());
    kltest::ProxyServer proxy;
    ASSERT_TRUE(nginx.start()) << nginx.log();
    ASSERT_TRUE(ftp.start()) << ftp.log();
    ASSERT_TRUE(proxy.start()) << proxy.log();

    CTransferEngine engine;
    CTransferSettings settings = Proxied(proxy.port());
    ASSERT_TRUE(engine.OpenSession(&settings));

    EXPECT_EQ(Fetch(engine, nginx.url("/a.bin"), Local("h.bin")), 80000);
    EXPECT_EQ(kltest::read_file(m_local / "h.bin"), body);
    const int after_http = proxy.requests_seen();
    EXPECT_GE(after_http, 1) << proxy.log();

    EXPECT_EQ(Fetch(engine, ftp.url("/a.bin"), Local("f.bin")), 80000);
    EXPECT_EQ(kltest::read_file(m_local / "f.bin"), body);
    EXPECT_GT(proxy.requests_seen(), after_http) << proxy.log();

    // A proxy that is not there fails the connection, not the file.
    settings.http_proxy_port = kltest::free_port();
    engine.OpenSession(&settings);
    EXPECT_EQ(Fetch(engine, nginx.url("/a.bin"), Local("x.bin")), ERR_BAD_SERVER);
}

// The machine's own proxy configuration is its environment; a direct
// connection ignores it.
TEST_F(TransferTest, SystemProxyComesFromTheEnvironment) {
    Serve("a.bin", kltest::payload(1000));
    kltest::NginxServer nginx(m_served.str());
    kltest::ProxyServer proxy;
    ASSERT_TRUE(nginx.start()) << nginx.log();
    ASSERT_TRUE(proxy.start()) << proxy.log();
    const std::string proxy_address = "http://127.0.0.1:" + std::to_string(proxy.port());
    setenv("http_proxy", proxy_address.c_str(), 1);
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");

    CTransferEngine engine;
    CTransferSettings settings = Direct();
    engine.OpenSession(&settings);
    EXPECT_EQ(Fetch(engine, nginx.url("/a.bin"), Local("d.bin")), 1000);
    EXPECT_EQ(proxy.requests_seen(), 0);

    settings.proxy_mode = PROXY_SYSTEM;
    engine.OpenSession(&settings);
    EXPECT_EQ(Fetch(engine, nginx.url("/a.bin"), Local("s.bin")), 1000);
    EXPECT_EQ(proxy.requests_seen(), 1) << proxy.log();
    unsetenv("http_proxy");
}

TEST_F(TransferTest, ProxyAskingForAUser) {
    const std::string body = Serve("a.bin", kltest::payload(5000));
    kltest::NginxServer nginx(m_served.str());
    kltest::ProxyServer proxy("klite", "s3cret");
    ASSERT_TRUE(nginx.start()) << nginx.log();
    ASSERT_TRUE(proxy.start()) << proxy.log();
    CTransferEngine engine;
    CTransferSettings settings = Proxied(proxy.port());
    engine.OpenSession(&settings);
    EXPECT_EQ(Fetch(engine, nginx.url("/a.bin"), Local("refused.bin")), ERR_LOAD);

    settings.http_proxy_user = "klite";
    settings.http_proxy_password = "s3cret";
    engine.OpenSession(&settings);
    EXPECT_EQ(Fetch(engine, nginx.url("/a.bin"), Local("a.bin")), 5000);
    EXPECT_EQ(kltest::read_file(m_local / "a.bin"), body);
}

TEST_F(TransferTest, LocalFilesCopyWithResume) {
    const std::string body = Serve("a.bin", kltest::payload(600000));
    CTransferEngine engine;
    kltest::write_file(m_local / "a.bin", body.substr(0, 1000));
    EXPECT_EQ(Fetch(engine, "file://" + (m_served / "a.bin").string(), Local("a.bin")), 600000);
    EXPECT_EQ(kltest::read_file(m_local / "a.bin"), body);
    EXPECT_EQ(Fetch(engine, "file://" + (m_served / "none.bin").string(), Local("n.bin")), ERR_LOAD);

    // A private file stays private in its copy.
    std::filesystem::permissions(m_served / "a.bin", std::filesystem::perms(0600));
    EXPECT_EQ(Fetch(engine, "file://" + (m_served / "a.bin").string(), Local("p.bin"), DOWNLOAD_CREATE),
              600000);
    EXPECT_EQ(std::filesystem::status(m_local / "p.bin").permissions() & std::filesystem::perms::all,
              std::filesystem::perms(0600));
}

// The most a local file may hold: an object the server says is larger fails
// before its bytes come, on every scheme; a partial file counts towards it.
TEST_F(TransferTest, ObjectsLargerThanAllowedFail) {
    const std::string body = Serve("a.bin", kltest::payload(10000));
    kltest::NginxServer nginx(m_served.str());
    ASSERT_TRUE(nginx.start()) << nginx.log();
    kltest::FtpServer ftp(m_served.str());
    ASSERT_TRUE(ftp.start()) << ftp.log();
    CTransferEngine engine;
    CTransferSettings settings = Direct();
    engine.OpenSession(&settings);
    for (const std::string& address :
         {nginx.url("/a.bin"), ftp.url("/a.bin"), "file://" + (m_served / "a.bin").string()}) {
        SCOPED_TRACE(address);
        EXPECT_EQ(Fetch(engine, address, Local("a.bin"), DOWNLOAD_CREATE, 9999), ERR_LOAD);
        EXPECT_EQ(std::filesystem::file_size(m_local / "a.bin"), 0u);
        EXPECT_EQ(Fetch(engine, address, Local("a.bin"), DOWNLOAD_CREATE, 10000), 10000);
        kltest::write_file(m_local / "a.bin", body.substr(0, 3000));
        EXPECT_EQ(Fetch(engine, address, Local("a.bin"), 0, 10000), 10000);
        EXPECT_EQ(kltest::read_file(m_local / "a.bin"), body);
    }
}

} // namespace
} // namespace klc
