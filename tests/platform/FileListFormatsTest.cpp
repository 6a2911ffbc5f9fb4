#include "platform/FileListFormats.h"

#include <gtest/gtest.h>

#include <map>

namespace kv {
namespace {

using Paths = std::vector<std::filesystem::path>;
using Formats = std::map<std::string, std::string, std::less<>>;

MimeLookup LookupIn(const Formats& formats) {
    return [formats](std::string_view type) -> std::optional<std::string> {
        const auto found = formats.find(type);
        if (found == formats.end()) return std::nullopt;
        return found->second;
    };
}

MimeLookup LookupOf(const std::vector<MimePart>& parts) {
    std::map<std::string, std::string, std::less<>> formats;
    for (const MimePart& part : parts) formats[part.type] = part.data;
    return LookupIn(formats);
}

TEST(FileListFormatsTest, NamesOfEveryKindComeBackAsTheyWent) {
    const Paths paths{"/home/u/Pictures/holiday 2023/IMG_0001.JPG", "/tmp/100% #1?.png", "/tmp/Fotos/Straße café.jpg",
                      std::string("/tmp/latin1-\xE9t\xE9.jpg"), "/tmp/a+b&c=d;e,f.tif"};
    for (const bool cut : {false, true}) {
        const std::optional<FileList> list = DecodeFileList(LookupOf(EncodeFileList(paths, cut)));
        ASSERT_TRUE(list);
        EXPECT_EQ(list->paths, paths);
        EXPECT_EQ(list->cut, cut);
    }
}

TEST(FileListFormatsTest, WhatOtherProgramsReadIsWrittenAsTheyExpectIt) {
    const std::vector<MimePart> copied = EncodeFileList({"/a b/c.jpg", "/d.png"}, false);
    const std::vector<MimePart> expected{{"text/uri-list", "file:///a%20b/c.jpg\r\nfile:///d.png\r\n"},
                                         {"x-special/gnome-copied-files", "copy\nfile:///a%20b/c.jpg\nfile:///d.png"},
                                         {"text/plain;charset=utf-8", "/a b/c.jpg\n/d.png"}};
    EXPECT_EQ(copied, expected);

    const std::vector<MimePart> cut = EncodeFileList({"/d.png"}, true);
    EXPECT_EQ(LookupOf(cut)("x-special/gnome-copied-files"), "cut\nfile:///d.png");
    EXPECT_EQ(LookupOf(cut)("application/x-kde-cutselection"), "1");
}

TEST(FileListFormatsTest, ACutIsRecognisedByEitherDesktopsMark) {
    struct Case {
        const char* name;
        std::map<std::string, std::string, std::less<>> formats;
        bool cut;
    };
    const std::string uris = "file:///p/a.jpg\r\n";
    const Case cases[] = {
        {"Dolphin's copy", {{"text/uri-list", uris}, {"application/x-kde-cutselection", "0"}}, false},
        {"Dolphin's cut", {{"text/uri-list", uris}, {"application/x-kde-cutselection", "1"}}, true},
        {"Nautilus' copy", {{"x-special/gnome-copied-files", "copy\nfile:///p/a.jpg"}}, false},
        {"Nautilus' cut", {{"x-special/gnome-copied-files", "cut\nfile:///p/a.jpg\n"}}, true},
        {"Thunar's cut", {{"text/uri-list", uris}, {"x-special/gnome-copied-files", "cut\nfile:///p/a.jpg"}}, true},
        {"a plain drop", {{"text/uri-list", uris}}, false},
    };
    for (const Case& c : cases) {
        const std::optional<FileList> list = DecodeFileList(LookupIn(c.formats));
        ASSERT_TRUE(list) << c.name;
        EXPECT_EQ(list->paths, Paths{"/p/a.jpg"}) << c.name;
        EXPECT_EQ(list->cut, c.cut) << c.name;
    }
}

TEST(FileListFormatsTest, OnlyLocalFilesAreTaken) {
    const std::string uris =
        "# dragged from a browser\r\n"
        "https://example.org/a.jpg\r\n"
        "\r\n"
        "file://localhost/p/b.jpg\r\n"
        "file:/p/c.jpg\r\n"
        "FILE:///p/d%2Ejpg\r\n"
        "file://otherhost.example/p/e.jpg\r\n"
        "sftp://host/p/f.jpg\r\n"
        "file:///p/nul%00.jpg\r\n"
        "file:relative.jpg";
    const std::optional<FileList> list = DecodeFileList(LookupIn(Formats{{"text/uri-list", uris}}));
    ASSERT_TRUE(list);
    EXPECT_EQ(list->paths, (Paths{"/p/b.jpg", "/p/c.jpg", "/p/d.jpg"}));

    EXPECT_FALSE(DecodeFileList(LookupIn(Formats{{"text/uri-list", "https://example.org/a.jpg\r\n"}})));
    EXPECT_FALSE(DecodeFileList(LookupIn(Formats{{"text/plain", "/p/a.jpg"}})));
    EXPECT_FALSE(DecodeFileList(LookupIn(Formats{{"x-special/gnome-copied-files", "copy"}})));
}

TEST(FileListFormatsTest, OfferedFormatsAreRecognisedWithoutReadingThem) {
    EXPECT_TRUE(OffersFileList({"text/plain", "text/uri-list"}));
    EXPECT_TRUE(OffersFileList({"x-special/gnome-copied-files"}));
    EXPECT_FALSE(OffersFileList({"text/plain", "image/png"}));
}

}  // namespace
}  // namespace kv
