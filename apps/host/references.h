#pragma once
// How commands name things of the active document.
//
// Objects (model objects only; block definition geometry is reached through its
// block): "@12" is the object with runtime serial number 12; a UUID is the object with
// that id; any other word is an object name. Table entries (layers, materials, texture
// mappings, block definitions): a whole number is the table index; a UUID the entry's
// id; any other word its name. Views: a whole number is the position in the view list,
// other words the view's name.
// Names compare without ASCII case and must be unique among the candidates: a name
// that several match is refused with a hint to use the id or index.
//
// Each finder returns null / -1 with a message in error when nothing fits.
// Main thread only (the document is the application's).

#include <string>
#include <string_view>

class CRhinoDoc;
class CRhinoObject;
class CRhinoView;

namespace vantro::host {

// Which objects or entries a reference may name.
enum class Deleted { no, only, also };

CRhinoObject* findObject(const CRhinoDoc& doc, std::string_view ref, Deleted deleted, std::string& error);

int findLayer(const CRhinoDoc& doc, std::string_view ref, Deleted deleted, std::string& error);
int findMaterial(const CRhinoDoc& doc, std::string_view ref, Deleted deleted, std::string& error);
int findMapping(const CRhinoDoc& doc, std::string_view ref, Deleted deleted, std::string& error);
int findBlock(const CRhinoDoc& doc, std::string_view ref, Deleted deleted, std::string& error);

CRhinoView* findView(const CRhinoDoc& doc, std::string_view ref, std::string& error);

// "@12 mesh "Box"": how messages name an object.
std::string describeObject(const CRhinoObject& object);
// The word for an object type ("mesh", "instanceReference", as in document files).
std::string_view objectTypeWord(unsigned int type);

}  // namespace vantro::host
