// The host application opening and saving documents through the registered formats: a
// good file replaces the open one with its settings in effect and its warnings in the
// command area. (A refused file keeps the open document: vantro_host_test.cpp.)

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
