#include <gtest/gtest.h>

#include "client/engine/errors.h"
#include "client/engine/product.h"
#include "engine_fixture.h"
#include "engine_publish.h"
#include "platform/sys/paths.h"

namespace {

using engine_test::Machine;
using engine_test::Publication;
using engine_test::PublishedFile;
using klc::CCatalogue;
using klc::InfFile;

klc::CUrl Url(const std::string& text) {
    klc::CUrl url;
    url.SetScheme(klc::SCHEME_HTTP);
    url.Parse(text);
    return url;
}

TEST(EngineCatalogue, DesignerFilesBecomeProductsUpdatesAndEntries) {
    Machine m;
    Publication pub;
    pub.web_location = "http://127.0.0.1/updates";
    pub.chunk_size = 2048;
    PublishedFile plain{"readme.txt", "hello"};
    plain.compare = 11;
    plain.version = "2.1";
    plain.build = 7;
    PublishedFile packed{"tool.bin", std::string(5000, 'x')}; // archived and split by the chunk size
    packed.destination = "%PRODUCT%\\bin";
    PublishedFile secret{"key.dat", "secret"};
    secret.encrypt = true;
    secret.date = "12/30/1899 00:00:00";
    pub.files = {plain, packed, secret};
    engine_test::Publish(m.path("server"), pub);

    CCatalogue cat;
    engine_test::ReadPublished(m.ctx, cat, m.path("server"), "http://127.0.0.1/updates/PRODUCTS.INF");
    ASSERT_EQ(cat.links.size(), 1u);
    EXPECT_EQ(cat.links[0].name, "Editor");
    ASSERT_EQ(cat.products.size(), 1u);
    ASSERT_EQ(cat.products[0].updates.size(), 1u);
    const klc::CUpdate& u = cat.products[0].updates[0];
    EXPECT_EQ(u.name, "Main Update");
    EXPECT_EQ(u.manufacturer, "Vendor");
    EXPECT_EQ(u.inf_version, 3);
    ASSERT_EQ(u.files.size(), 3u);

    const klc::CFileEntry& a = u.files[0];
    EXPECT_EQ(a.file_name, "readme.txt");
    EXPECT_EQ(a.pieces, std::vector<std::string>{"_0001.KL_"});
    EXPECT_EQ(a.piece_sizes, std::vector<int32_t>{5});
    EXPECT_EQ(a.version, klc::ParseVersion("2.1.7.0"));
    EXPECT_EQ(a.compare_flags, klc::cmp::NewerVersion);
    EXPECT_TRUE(a.date.has_value());
    EXPECT_FALSE(a.NeedsUnpack());
    EXPECT_EQ(a.location.Format(), "http://127.0.0.1/updates/");

    const klc::CFileEntry& b = u.files[1];
    ASSERT_GE(b.pieces.size(), 2u);
    EXPECT_EQ(b.pieces[0], "_0002.ZIP");
    EXPECT_EQ(b.pieces[1], "_0002.Z02");
    EXPECT_EQ(b.compress, 0);
    EXPECT_TRUE(b.NeedsUnpack()); // split archives are unpacked without Compress
    EXPECT_EQ(b.destination, m.ctx.product_folder + "\\bin");
    EXPECT_EQ(b.compare_flags, -1); // the designer's CriteriaType=0: always

    const klc::CFileEntry& c = u.files[2];
    EXPECT_EQ(c.pieces, std::vector<std::string>{"_0003.ZIP"});
    EXPECT_TRUE(c.NeedsUnpack());
    EXPECT_FALSE(c.date.has_value()); // the designer's zero date
}

InfFile Inf(const std::string& text) {
    return InfFile::Parse(text);
}

TEST(EngineCatalogue, LinksEndAtTheFirstSectionWithoutName) {
    Machine m;
    CCatalogue cat;
    InfFile products =
        Inf("[Common]\r\nAdvertisment=Welcome\r\n"
            "[Product1]\r\nName=A\r\nFile=a.inf\r\nFile1=a2.inf\r\nAdvertisment=Buy A\r\n"
            "[Product2]\r\nName=B\r\n" // no INF: -28
            "[Product3]\r\nName=C\r\nFile=c.inf\r\nProductInstalled=5,HKLM/SOFTWARE/Missing/x\r\n" // -27
            "[Product4]\r\nFile=d.inf\r\n" // no name: the end
            "[Product5]\r\nName=E\r\nFile=e.inf\r\n");
    EXPECT_EQ(cat.ReadCatalogue(m.ctx, products, Url("http://h/p/PRODUCTS.INF")), 1);
    ASSERT_EQ(cat.links.size(), 1u);
    EXPECT_EQ(cat.links[0].inf_files, (std::vector<std::string>{"a.inf", "a2.inf"}));
    EXPECT_EQ(cat.advertisement_text, "Welcome\r\nBuy A\r\n");
    EXPECT_EQ(cat.result, klc::ERR_LINK_CRITERIA);
    std::string log = m.log();
    EXPECT_NE(log.find("Unable to load empty link."), std::string::npos);
    EXPECT_NE(log.find("Link is skipped with installation criteria."), std::string::npos);
}

TEST(EngineCatalogue, InfVersionsAndMergingOfOneUpdate) {
    Machine m;
    const std::string v3 = "[Common]\r\nINFVersion=3\r\nName=P\r\nManufacturer=Three\r\n"
                           "[File1]\r\nFileName=a.txt\r\n";
    const std::string v2 = "[Common]\r\nINFVersion=2\r\nName=P\r\nManufacturer=Two\r\n"
                           "[File1]\r\nFileName=b.txt\r\n";
    for (bool three_first : {true, false}) {
        CCatalogue cat;
        cat.links.push_back({});
        cat.links[0].name = "P";
        cat.ReadProduct(m.ctx, 0, 0, Inf(three_first ? v3 : v2));
        cat.ReadProduct(m.ctx, 0, 1, Inf(three_first ? v2 : v3));
        ASSERT_EQ(cat.products.size(), 1u);
        ASSERT_EQ(cat.products[0].updates.size(), 1u);
        EXPECT_EQ(cat.products[0].updates[0].manufacturer, "Three");
        ASSERT_EQ(cat.products[0].updates[0].files.size(), 1u);
        EXPECT_EQ(cat.products[0].updates[0].files[0].file_name, "a.txt");
    }

    // Same version: files are merged. A name present in both keeps the first
    // entry when it is to be installed; the same name for another destination
    // is another file.
    CCatalogue cat;
    cat.links.push_back({});
    cat.links[0].name = "P";
    cat.ReadProduct(m.ctx, 0, 0, Inf("[Common]\r\nINFVersion=3\r\n[File1]\r\nFileName=a.txt\r\nSize=1\r\n"));
    cat.ReadProduct(m.ctx, 0, 1,
                    Inf("[Common]\r\nINFVersion=3\r\n[File1]\r\nFileName=A.TXT\r\nSize=2\r\n"
                        "[File2]\r\nFileName=a.txt\r\nDestinationPath=/elsewhere\r\n"));
    const auto& files = cat.products[0].updates[0].files;
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].size, 1);
    EXPECT_EQ(files[1].destination, "/elsewhere");
    EXPECT_EQ(cat.products[0].name, "P"); // from the link when the INF has no Name
    EXPECT_EQ(cat.products[0].updates[0].last_inf_index, 1);
}

TEST(EngineCatalogue, HostileNamesAreRefusedAndMalformedFilesAddNothing) {
    Machine m;
    CCatalogue cat;
    cat.links.push_back({});
    cat.links[0].name = "P";
    cat.ReadProduct(
        m.ctx, 0, 0,
        Inf("[Common]\r\nINFVersion=3\r\n"
            "[File1]\r\nFileName=..\\..\\evil.so\r\n"
            "[File2]\r\nFileName=/etc/passwd\r\n"
            "[File3]\r\nFileName=ok.txt\r\nSourceFile1=../../x.zip\r\n"
            "[File4]\r\nFileName=C:\\Windows\\x.dll\r\n"
            "[File5]\r\nFileName=sub\\fine.txt\r\nSourceFile1=_0005.KL_\r\nSourceSize1=0x10\r\n"));
    EXPECT_EQ(cat.result, klc::ERR_SOURCE_INVALID);
    ASSERT_EQ(cat.products.size(), 1u);
    const auto& files = cat.products[0].updates[0].files;
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].file_name, "fine.txt"); // a group's folder part is not kept
    EXPECT_EQ(files[0].piece_sizes, std::vector<int32_t>{16});

    CCatalogue named;
    named.links.push_back({});
    named.links[0].name = "P";
    EXPECT_FALSE(named.ReadProduct(m.ctx, 0, 0, Inf("[Common]\r\nName=..\r\n[File1]\r\nFileName=a\r\n")));
    EXPECT_FALSE(
        named.ReadProduct(m.ctx, 0, 0, Inf("[Common]\r\nUpdate=../up\r\n[File1]\r\nFileName=a\r\n")));
    EXPECT_TRUE(named.products.empty());
    EXPECT_EQ(named.result, klc::ERR_SOURCE_INVALID);

    CCatalogue junk;
    std::string garbage("\x00\xff[[[=\r\n\x01\x02]]]\nName\r\n=", 22);
    EXPECT_EQ(junk.ReadCatalogue(m.ctx, Inf(garbage), Url("http://h/")), 0);
    junk.links.push_back({});
    EXPECT_FALSE(junk.ReadProduct(m.ctx, 0, 0, Inf(garbage)));
    EXPECT_FALSE(
        junk.ReadProduct(m.ctx, 0, 0, Inf("[Common]\r\nINFVersion=-1\r\n[File1]\r\nFileName=a\r\n")));
    EXPECT_TRUE(junk.products.empty());
}

} // namespace
