// The host application opening and saving documents through the registered formats:
// a file that is refused leaves the open document as it was, a good one replaces it
// with its settings in effect and its warnings in the command area.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "sdk/io/document_formats.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"

namespace {

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class DocumentFormats : public ::testing::Test {
protected:
    void SetUp() override {
        vantro::docio::registerDocumentFormats(RhinoApp());
        static std::random_device random;
        dir_ = std::filesystem::temp_directory_path() / ("sdkio-formats-" + std::to_string(random()));
        std::filesystem::create_directories(dir_);
        RhinoApp().NewDocument();
        RhinoApp().ClearCommandHistoryWindow();
    }
    void TearDown() override {
        RhinoApp().CloseDocument();
        std::filesystem::remove_all(dir_);
    }
    ON_wString write(const std::string& name, const std::string& text) const {
        std::ofstream(dir_ / name, std::ios::binary) << text;
        return ON_wString::FromUtf8((dir_ / name).string());
    }
    std::filesystem::path dir_;
};

// A refused file changes nothing: same document, same content; the reason names the
// file and what is wrong.
TEST_F(DocumentFormats, RefusedFileLeavesTheOpenDocument) {
    CRhinoDoc* before = RhinoApp().ActiveDoc();
    ASSERT_NE(before, nullptr);
    const int layers = before->m_layer_table.LayerCount();
    std::string text = fileText(SDKIO_DATA_DIR "/full.json");
    text.replace(text.find("[0, 1, 2, 3, 3, 2, 4, 4]"), 24, "[0, 1, 2, 3, 3, 2, 4, 5]");
    ON_wString error;
    EXPECT_FALSE(RhinoApp().OpenDocument(write("broken.json", text), false, &error));
    EXPECT_EQ(RhinoApp().ActiveDoc(), before);
    EXPECT_EQ(before->m_layer_table.LayerCount(), layers);
    EXPECT_TRUE(before->Objects().empty());
    EXPECT_EQ(error.ToUtf8(),
              "broken.json: object 0 \"Quad and triangle\" (88888888-8888-4888-8888-000000000001): "
              "mesh: face 1 refers to vertex 5 of 5");
}

// A good file becomes the open document; its application settings take effect and
// its warnings are printed; saving writes the same document back.
TEST_F(DocumentFormats, OpenAndSaveThroughTheApplication) {
    const ON_wString path = write("house.json", fileText(SDKIO_DATA_DIR "/full.json"));
    ON_wString error;
    ASSERT_TRUE(RhinoApp().OpenDocument(path, false, &error)) << error.ToUtf8();
    CRhinoDoc* doc = RhinoApp().ActiveDoc();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetPathName(), path);
    EXPECT_EQ(doc->m_layer_table.LayerCount(), 3);
    EXPECT_EQ(RhinoApp().AppSettings().FileSettings().AutoSaveFile(), u"/tmp/auto.json");
    const std::string printed = RhinoApp().CommandHistoryWindowText().ToUtf8();
    EXPECT_NE(printed.find("house.json: written by hand\n"), std::string::npos) << printed;

    const ON_wString copy = ON_wString::FromUtf8((dir_ / "copy.json").string());
    ASSERT_TRUE(RhinoApp().SaveDocument(*doc, copy, false, &error)) << error.ToUtf8();
    ASSERT_TRUE(RhinoApp().OpenDocument(copy, false, &error)) << error.ToUtf8();
    EXPECT_EQ(RhinoApp().ActiveDoc()->m_layer_table.LayerCount(), 3);
    EXPECT_EQ(RhinoApp().ActiveDoc()->m_instance_definition_table.InstanceDefinitionCount(), 2);
}

}  // namespace
