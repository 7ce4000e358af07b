#include "platform/net/session.h"

#include <sys/stat.h>
#include <utime.h>

#include <gtest/gtest.h>

#include "support/servers.h"
#include "support/temp_dir.h"

namespace plat::net {
namespace {

struct Collect : Sink {
    Response response;
    std::string bytes;
    bool begin(const Response& r) override {
        response = r;
        return true;
    }
    bool write(const char* data, size_t size) override {
        bytes.append(data, size);
        return true;
    }
};

TEST(Session, AddressesEscapeWhatAUrlCannotHold) {
    Endpoint ep;
    ep.host = "127.0.0.1";
    ep.port = 8080;
    EXPECT_EQ(Session::make_url(ep, "/dir/my file #2 100%.bin"),
              "http://127.0.0.1:8080/dir/my%20file%20%232%20100%25.bin");
    EXPECT_EQ(Session::make_url(ep, "/caf\xC3\xA9.txt"), "http://127.0.0.1:8080/caf%C3%A9.txt");
    ep.scheme = Scheme::Ftp;
    ep.host = "::1";
    ep.port = 0;
    EXPECT_EQ(Session::make_url(ep, "pub/a"), "ftp://[::1]/pub/a");
}

// Names with blanks and other escaped characters reach the file, and a
// resumed request says where its bytes start and how long the whole is.
TEST(Session, GetsFilesByTheirPlainNames) {
    kltest::TempDir served;
    chmod(served.str().c_str(), 0755);
    const std::string body = kltest::payload(20000);
    kltest::write_file(served / "my file #2 100%.bin", body);
    utimbuf times{993218700, 993218700};
    utime((served / "my file #2 100%.bin").c_str(), &times);
    kltest::NginxServer nginx(served.str());
    kltest::FtpServer ftp(served.str());
    ASSERT_TRUE(nginx.start()) << nginx.log();
    ASSERT_TRUE(ftp.start()) << ftp.log();

    SessionOptions options;
    options.proxy_mode = ProxyMode::Direct;
    Session session(options);
    for (Scheme scheme : {Scheme::Http, Scheme::Ftp}) {
        Endpoint ep;
        ep.scheme = scheme;
        ep.host = "127.0.0.1";
        ep.port = scheme == Scheme::Http ? nginx.port() : ftp.port();
        Collect whole;
        const Result r = session.get(ep, "/my file #2 100%.bin", 0, whole);
        ASSERT_EQ(r.status, Status::Ok) << r.message;
        EXPECT_EQ(whole.bytes, body);
        EXPECT_EQ(whole.response.total_size, 20000);
        EXPECT_EQ(whole.response.remote_time, 993218700);

        Collect rest;
        ASSERT_EQ(session.get(ep, "/my file #2 100%.bin", 15000, rest).status, Status::Ok);
        EXPECT_EQ(rest.bytes, body.substr(15000));
        EXPECT_EQ(rest.response.start_offset, 15000);
        EXPECT_EQ(rest.response.total_size, 20000);
    }
}

} // namespace
} // namespace plat::net
