#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "common/TestFiles.h"
#include "layers/IncludeLayers.h"

namespace kv::layers {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Descriptions(const std::vector<Violation>& violations) {
    std::vector<std::string> lines;
    for (const Violation& v : violations) lines.push_back(Describe(v));
    return lines;
}

TEST(IncludeOrderTest, NoFileOfTheTreeIncludesALayerAboveOrBesideItsOwn) {
    EXPECT_EQ(Descriptions(FindViolations(fs::path(KV_SOURCE_DIR) / "src")), std::vector<std::string>{});
}

// A small tree with one file per case, checked as the real one is.
class IncludeOrderFixture : public ::testing::Test {
protected:
    void Write(const std::string& file, const std::string& include) {
        const fs::path path = dir / "src" / file;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "#pragma once\n\n" << include << "\n";
    }
    std::vector<std::string> Found() { return Descriptions(FindViolations(dir / "src")); }

    test::TempDir dir;
};

TEST_F(IncludeOrderFixture, IncludesUpOrAcrossTheOrderAreFound) {
    Write("base/Fine.h", "#include \"base/Geometry.h\"");
    Write("imageio/Fine.cpp", "#include \"codecs/SlimJpegDecoder.h\"");
    Write("cli/Fine.cpp", "#include \"browser/FolderMonitor.h\"");
    Write("document/Wrong.h", "#include \"batch/BatchRunner.h\"");
    Write("engine/Beside.cpp", "  #  include \"codecs/JpegCoder.h\"  // with blanks");
    Write("ui/Beside.cpp", "#include \"cli/Kvscale.h\"");
    Write("ui/view/MainView.cpp", "#include \"imageio/Bitmap.h\"");
    Write("ui/bridge/ImageBridge.cpp", "#include \"imageio/Bitmap.h\"");
    Write("app/Unnamed.cpp", "#include \"Geometry.h\"");
    Write("extra/Stray.cpp", "#include \"base/Geometry.h\"");
    EXPECT_EQ(Found(), (std::vector<std::string>{
                           "src/app/Unnamed.cpp:3 includes \"Geometry.h\": an include names its layer folder",
                           "src/document/Wrong.h:3 includes \"batch/BatchRunner.h\": document may not use batch, a "
                           "layer above it",
                           "src/engine/Beside.cpp:3 includes \"codecs/JpegCoder.h\": engine may not use codecs, a "
                           "layer beside it",
                           "src/extra/Stray.cpp:3 includes \"base/Geometry.h\": the file lies outside every layer",
                           "src/ui/Beside.cpp:3 includes \"cli/Kvscale.h\": ui may not use cli, a layer beside it",
                           "src/ui/view/MainView.cpp:3 includes \"imageio/Bitmap.h\": only ui/bridge may use imageio",
                       }));
}

TEST_F(IncludeOrderFixture, SystemHeadersAndCommentsAreNotLayers) {
    Write("base/System.h", "#include <QImage>\n// #include \"ui/Frame.h\"");
    EXPECT_EQ(Found(), std::vector<std::string>{});
}

}  // namespace
}  // namespace kv::layers
