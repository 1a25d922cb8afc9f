#pragma once
// An independent reading of what the renderer should show of a document while a
// story script edits it: built from the document's own data (the file as read, not
// the plug-in's scene), changed by the story's commands as the host applies them, and
// reduced to a MirrorView. Knows the commands of resources/samples/showroom-story.txt;
// any other command is reported as one it cannot predict, so that the story cannot
// outgrow its test unnoticed.

#include <string>
#include <vector>

#include "mirror_view.h"
#include "sdk/io/document_data.h"

namespace vantro::test {

struct StoryStep {
    std::string title;
    std::vector<std::string> lines;
};

// A story's steps: a line "## <title>" opens one; other comments and blank lines go.
std::vector<StoryStep> parseStory(const std::string& text);

class StoryModel {
public:
    explicit StoryModel(const docio::DocumentData& document);

    // Applies one command line; false with why when it cannot be predicted.
    bool apply(const std::string& line, std::string& why);

    MirrorView predict() const;

private:
    struct Piece {  // one mesh of a visible-or-not object, placed
        std::string object;
        std::vector<int> layers;  // all must be on (a block member's and its placement's)
        bool shown = true;        // the object's own visibility
        int material = -1;
        int triangles = 0;
        std::vector<ON_3dPoint> points;  // document units
    };
    struct Material {
        std::string name;
        double diffuse[3];
        double opacity;
        bool textured;
    };
    struct Layer {
        std::string name;
        bool visible;
        int material;
    };

    void addObject(const docio::DocumentData& document, const docio::ObjectData& object);
    void addPieces(const docio::ObjectData& object, const ON_Xform& placement, std::vector<int> layers, bool shown,
                   int material);
    int resolveMaterial(const ON_3dmObjectAttributes& attributes, int parentMaterial) const;
    bool applyMove(const std::vector<std::string>& words, std::string& why);
    bool applyMaterial(const std::vector<std::string>& words, std::string& why);
    bool applyLayer(const std::vector<std::string>& words, std::string& why);
    bool applyView(const std::vector<std::string>& words, std::string& why);
    bool applyUnits(const std::vector<std::string>& words, std::string& why);

    std::vector<Piece> pieces_;
    std::vector<Material> materials_;
    std::vector<Layer> layers_;
    double metresPerUnit_ = 0.001;
    ON_3dPoint camera_;
    ON_3dVector cameraDirection_;
    bool hasCamera_ = false;
};

}  // namespace vantro::test
