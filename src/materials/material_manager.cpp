#include "materials/material_manager.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory_resource>

#include "flat_tables.h"
#include "link/live_connection.h"
#include "link/srfc_layout.h"
#include "sdk/render/rdk_content.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"

using namespace vantro::materials;

using VantroAPI::load;
using VantroAPI::store;

namespace {

constexpr const char16_t* kProgressLabel = u"Velora Vantro: loading materials\u2026 ";

std::u16string uuidText(const ON_UUID& id) { return ON_UuidToString(id).str(); }

uint32_t packColor(const ON_Color& c) {
    return PackColor(uint8_t(c.Red()), uint8_t(c.Green()), uint8_t(c.Blue()), 1.0);
}

// The document image the material's texture shows when it names no file; the same
// choice ReadTexture makes.
const ON_Bitmap* embeddedBitmapOf(const ON_Material& material) {
    const auto* rhinoMaterial = dynamic_cast<const CRhinoMaterial*>(&material);
    const ON_Texture* texture = material.m_textures.At(material.FindTexture(nullptr, ON_Texture::bitmap_texture, -1));
    if (!rhinoMaterial || !texture || !texture->m_bOn || texture->m_image_file_reference.IsSet())
        return nullptr;
    return rhinoMaterial->TextureBitmap(ON_Texture::bitmap_texture);
}

// FNV-1a over the bitmap's size, depth and rows, folded to 32 bits; never 0, so that
// an image (even an empty one) differs from none.
uint32_t bitmapHash(const ON_Bitmap& bitmap) {
    uint64_t hash = 0xcbf29ce484222325ull;
    auto add = [&hash](const unsigned char* bytes, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            hash ^= bytes[i];
            hash *= 0x100000001b3ull;
        }
    };
    const int32_t shape[] = {bitmap.Width(), bitmap.Height(), bitmap.BitsPerPixel()};
    add(reinterpret_cast<const unsigned char*>(shape), sizeof shape);
    const int rows = bitmap.Height() < 0 ? -bitmap.Height() : bitmap.Height();
    for (int row = 0; row < rows; ++row)
        if (const unsigned char* bits = bitmap.Bits(row))
            add(bits, bitmap.SizeofScan());
    const auto folded = uint32_t(hash ^ (hash >> 32));
    return folded != 0 ? folded : 1u;
}

}  // namespace

struct MaterialManager::Tables {
    struct Keys {
        uint64_t nameKey;
        uint64_t renderCrc;
        friend bool operator==(const Keys&, const Keys&) = default;
    };
    struct KeysHash {
        size_t operator()(const Keys& k) const { return size_t(MixBits(k.nameKey ^ MixBits(k.renderCrc))); }
    };
    // Gives a record made in the pool back to it.
    struct PoolDelete {
        std::pmr::memory_resource* pool;
        void operator()(MaterialInfo* info) const {
            std::destroy_at(info);
            pool->deallocate(info, sizeof(MaterialInfo), alignof(MaterialInfo));
        }
    };
    using PooledInfo = std::unique_ptr<MaterialInfo, PoolDelete>;

    PooledInfo NewInfo() {
        if (spare.empty()) {
            void* memory = records.allocate(sizeof(MaterialInfo), alignof(MaterialInfo));
            return PooledInfo(new (memory) MaterialInfo(), PoolDelete{&records});
        }
        // A record of the last load made anew in place, keeping its name's memory.
        MaterialInfo* info = spare.back().release();
        spare.pop_back();
        std::u16string name = std::move(info->name);
        name.clear();
        std::destroy_at(info);
        new (info) MaterialInfo();
        info->name = std::move(name);
        return PooledInfo(info, PoolDelete{&records});
    }

    // The records come from a pool of their own rather than the general heap: a reload
    // frees and re-creates tens of thousands of them, which scattered over the heap
    // made the allocator sort the freed chunks again at each load. Declared first, so
    // that it outlives the records the table below owns.
    std::pmr::unsynchronized_pool_resource records;
    FlatMap<int64_t, PooledInfo> all;  // owning, by id
    FlatMap<Keys, MaterialInfo*, KeysHash> byKeys;
    FlatMap<uint64_t, MaterialInfo*> bySerial;  // several serials may share a record
    FlatSet<MaterialInfo*> pending;
    // The last load's records, handed out again by NewInfo in the order they were made.
    std::vector<PooledInfo> spare;
    // The document's materials by runtime serial number, for the events that name a
    // material by it: entries [0, indexed) of the table, made at the first such event.
    FlatMap<uint64_t, int> indexBySerial;
    int indexed = 0;

    // Forgets every record but keeps them, the tables' arrays and the pool's blocks for
    // the next load.
    void Forget() {
        spare.reserve(spare.size() + all.size());  // so that no push below can throw
        for (auto entry = all.begin(); entry != all.end(); ++entry)
            spare.push_back(std::move(entry.value()));
        std::reverse(spare.begin(), spare.end());
        all.clear();
        byKeys.clear();
        bySerial.clear();
        pending.clear();
        indexBySerial.clear();
        indexed = 0;
    }
};

uint64_t MaterialNameKey(const ON_Material* material) {
    if (!material)
        return 0;
    if (material->Name().IsEmpty())
        return NameKeyOfText(uuidText(material->Id()));
    return NameKeyOfText(material->Name().view());
}

uint64_t MaterialRenderCrc(const ON_Material* material) {
    if (!material)
        return 0;
    static const CRhRdkContent::CRenderCRCFlags kFlags(0);
    std::unique_ptr<CRhRdkMaterial> content(RhRdkNewBasicMaterial(*material));
    if (!content)
        return 0;
    const uint64_t crc = uint64_t(content->RenderCRC(kFlags)) & 0xFFFFFFFFull;
    const ON_Bitmap* bitmap = embeddedBitmapOf(*material);
    return bitmap ? crc | uint64_t(bitmapHash(*bitmap)) << 32 : crc;
}

std::u16string MaterialDisplayName(const ON_Material* material) {
    if (!material)
        return {};
    // The UUID's text is only the name of an unnamed material; making it for every one
    // cost an allocation per material.
    const std::u16string_view name = material->Name().view();
    return DisplayNameOfText(name, name.empty() ? uuidText(material->Id()) : std::u16string());
}

MaterialManager::MaterialManager(VantroAPI::LiveConnection* link)
    : link_(link),
      glassTypeId_(ON_UuidFromString(std::string_view(kGlassTypeId))),
      default_(std::make_unique<MaterialInfo>()),
      tables_(std::make_unique<Tables>()) {
    default_->id = -1;
}

MaterialManager::~MaterialManager() = default;

void MaterialManager::Clear() {
    // Fresh tables rather than cleared ones, so that their arrays and the records' pool
    // go back to the heap.
    tables_ = std::make_unique<Tables>();
    names_.Clear();
    ForgetLinkState();
}

void MaterialManager::ClearFor(size_t expected) {
    // A reload of a document of about the same size (every full rewrite reloads the
    // same one) keeps the last load's tables, records' pool and names: given back, the
    // heap returned them to the system and the next load faulted them in again page by
    // page, which at 50,000 materials cost a seventh of the load. A much smaller
    // document does not keep a large one's memory.
    if (tables_->all.size() > kKeptMemoryFactor * expected) {
        Clear();
        return;
    }
    tables_->Forget();
    names_.Forget();
    ForgetLinkState();
}

void MaterialManager::ForgetLinkState() {
    default_->record = nullptr;
    // Buffer ids belong to the connection the forgotten records lived in; a later
    // connection re-issues the same ids, so none may be destroyed from here on.
    default_->textureBuffer = 0;
    default_->textureCapacity = 0;
    releasedBuffers_.clear();
    doc_ = nullptr;
}

size_t MaterialManager::MaterialCount() const { return tables_->all.size(); }

bool MaterialManager::HasPending() const { return !tables_->pending.empty(); }

void MaterialManager::LoadMaterials(CRhinoDoc* doc) {
    if (!doc) {
        Clear();
        return;
    }
    const CRhinoMaterialTable& table = doc->m_material_table;
    const int count = table.MaterialCount();
    ClearFor(static_cast<size_t>(std::max(count, 0)));
    doc_ = doc;

    const ON_Material& appDefault = RhinoApp().AppSettings().DefaultMaterial();
    if (TranslateMaterial(default_.get(), &appDefault))
        default_->changed = true;
    ReadOrClearTexture(*default_, appDefault);
    // Sized once for the whole table: growing them step by step moves every entry
    // again at each step.
    const size_t expected = static_cast<size_t>(std::max(count, 0)) + 1;
    Tables& t = *tables_;
    t.all.reserve(expected);
    t.byKeys.reserve(expected);
    names_.Reserve(expected);
    t.bySerial.reserve(expected);
    t.pending.reserve(expected);
    t.pending.insert(default_.get());

    CRhinoApp& app = RhinoApp();
    app.StatusBarProgressMeterStart(0, count, kProgressLabel, true, true);
    // The meter moves only when the whole percent it shows changes: a host repaints its
    // status bar (and ours records the position) on every move, which at tens of
    // thousands of materials costs more than the materials themselves.
    int64_t shownPercent = -1;
    // Materials go in batches: the keys of a whole batch first, then one look-up of each
    // in the key table back to back, then the records. The look-ups of a batch do not
    // depend on each other, so the processor waits for their cache misses together
    // instead of once per material between the long stretches of work on each.
    constexpr int kBatch = 32;
    std::array<const CRhinoMaterial*, kBatch> batch;
    std::array<Tables::Keys, kBatch> keys;
    std::array<bool, kBatch> known;
    for (int first = 0; first < count; first += kBatch) {
        int size = 0;
        for (int i = first; i < std::min(count, first + kBatch); ++i) {
            if (const int64_t percent = int64_t(i) * 100 / count; percent != shownPercent) {
                app.StatusBarProgressMeterPos(i, true);
                shownPercent = percent;
            }
            const CRhinoMaterial& material = table[i];
            if (material.IsValid(nullptr) && !material.IsDeleted()) {
                batch[size] = &material;
                keys[size] = Tables::Keys{MaterialNameKey(&material), MaterialRenderCrc(&material)};
                ++size;
            }
        }
        for (int k = 0; k < size; ++k)
            known[k] = t.byKeys.count(keys[k]) != 0;
        for (int k = 0; k < size; ++k)
            AddMaterial(batch[k], keys[k].nameKey, keys[k].renderCrc, known[k]);
    }
    app.StatusBarProgressMeterEnd();
}

MaterialInfo* MaterialManager::AddMaterial(const ON_Material* material) {
    if (!material)
        return nullptr;
    return AddMaterial(material, MaterialNameKey(material), MaterialRenderCrc(material), false);
}

MaterialInfo* MaterialManager::AddMaterial(const ON_Material* material, uint64_t nameKey, uint64_t renderCrc,
                                           bool known) {
    Tables& t = *tables_;
    const Tables::Keys keys{nameKey, renderCrc};
    // A record known from the batch's look-up is found again without inserting.
    if (known) {
        MaterialInfo* info = t.byKeys.find(keys)->second;
        t.bySerial[material->RuntimeSerialNumber()] = info;
        t.pending.insert(info);
        return info;
    }
    // One probe of the key table both finds a record and reserves the entry of a new
    // one. The entry is filled in before any other insert into that table could move it.
    auto [entry, isNew] = t.byKeys.try_emplace(keys, nullptr);
    MaterialInfo* info = entry->second;
    if (isNew) {
        Tables::PooledInfo created = t.NewInfo();
        info = created.get();
        entry.value() = info;
        info->nameKey = keys.nameKey;
        info->renderCrc = keys.renderCrc;
        t.all.emplace(info->id, std::move(created));
        if (TranslateMaterial(info, material))
            info->changed = true;
        ReadOrClearTexture(*info, *material);
    }
    t.bySerial[material->RuntimeSerialNumber()] = info;
    t.pending.insert(info);
    return info;
}

MaterialInfo* MaterialManager::AddMaterial(uint64_t serial) { return AddMaterial(FindMaterialBySerial(serial)); }

MaterialInfo* MaterialManager::UpdateMaterial(const ON_Material* material) {
    if (!material)
        return nullptr;
    Tables& t = *tables_;
    auto known = t.bySerial.find(material->RuntimeSerialNumber());
    if (known == t.bySerial.end())
        return AddMaterial(material);
    MaterialInfo* old = known->second;
    const Tables::Keys keys{MaterialNameKey(material), MaterialRenderCrc(material)};
    t.pending.insert(old);
    if (auto found = t.byKeys.find(keys); found != t.byKeys.end()) {
        known.value() = found->second;
        t.pending.insert(found->second);
        return found->second;
    }
    t.byKeys.erase(Tables::Keys{old->nameKey, old->renderCrc});
    old->nameKey = keys.nameKey;
    old->renderCrc = keys.renderCrc;
    t.byKeys.emplace(keys, old);
    if (TranslateMaterial(old, material))
        old->changed = true;
    ReadOrClearTexture(*old, *material);
    return old;
}

MaterialInfo* MaterialManager::UpdateMaterial(uint64_t serial) { return UpdateMaterial(FindMaterialBySerial(serial)); }

bool MaterialManager::RemoveMaterial(uint64_t /*serial*/) { return true; }

MaterialInfo& MaterialManager::FindByIndex(int index) {
    if (!doc_ || !doc_->m_material_table.IsValidMaterialTableIndex(index))
        return *default_;
    auto found = tables_->bySerial.find(doc_->m_material_table[index].RuntimeSerialNumber());
    return found != tables_->bySerial.end() ? *found->second : *default_;
}

MaterialInfo& MaterialManager::FindById(int64_t id) {
    auto found = tables_->all.find(id);
    return found != tables_->all.end() ? *found->second : *default_;
}

MaterialInfo* MaterialManager::FindByKeys(uint64_t nameKey, uint64_t renderCrc, bool fallback) {
    auto found = tables_->byKeys.find(Tables::Keys{nameKey, renderCrc});
    if (found != tables_->byKeys.end())
        return found->second;
    return fallback ? default_.get() : nullptr;
}

std::vector<MaterialInfo*> MaterialManager::Materials() const {
    std::vector<MaterialInfo*> list;
    list.reserve(tables_->all.size());
    for (const auto& [id, info] : tables_->all)
        list.push_back(info.get());
    std::sort(list.begin(), list.end(), [](const MaterialInfo* a, const MaterialInfo* b) { return a->id < b->id; });
    return list;
}

const ON_Material* MaterialManager::FindMaterialBySerial(uint64_t serial) const {
    if (!doc_)
        return nullptr;
    const CRhinoMaterialTable& table = doc_->m_material_table;
    Tables& t = *tables_;
    auto indexed = [&]() -> const ON_Material* {
        const auto found = t.indexBySerial.find(serial);
        if (found == t.indexBySerial.end() || found->second >= table.MaterialCount())
            return nullptr;
        const CRhinoMaterial& material = table[found->second];
        return material.RuntimeSerialNumber() == serial ? &material : nullptr;
    };
    // An event per material: a pass over the table for each made a script that edits
    // every material of a large document cost materials x materials. Materials are only
    // ever appended, so the index grows by the ones added since; only an entry whose
    // serial changed in place costs a pass.
    auto indexFrom = [&](int first) {
        for (int i = first; i < table.MaterialCount(); ++i)
            t.indexBySerial[table[i].RuntimeSerialNumber()] = i;
        t.indexed = table.MaterialCount();
    };
    if (const ON_Material* material = indexed())
        return material;
    const int appended = t.indexed;
    indexFrom(appended);
    if (const ON_Material* material = indexed(); material || appended == 0)
        return material;      // found, or the whole table was indexed just now
    t.indexBySerial.clear();  // drops the serials entries no longer have
    indexFrom(0);
    return indexed();
}

bool MaterialManager::TranslateMaterial(MaterialInfo* info, const ON_Material* material) {
    if (!info || !material)
        return false;
    MakeNameUnique(*info, MaterialDisplayName(material));
    info->opacity = float(1.0 - material->Transparency());
    info->diffuse = packColor(material->Diffuse());
    info->specular = packColor(material->Specular());
    info->shine = float(material->Shine() / ON_Material::MaxShine);
    info->type = MaterialType::none;
    if (IsWaterName(info->name)) {
        info->type = MaterialType::water;
    } else if (material->RdkMaterialInstanceIdIsNotNil() && doc_) {
        const CRhRdkContent* content = doc_->RdkDocument().FindContentInstance(material->RdkMaterialInstanceId());
        if (content && content->TypeId() == glassTypeId_)
            info->type = MaterialType::glass;
    }
    return true;
}

void MaterialManager::MakeNameUnique(MaterialInfo& info, const std::u16string& base) {
    if (&info == default_.get()) {
        // The default material is not among the records: its name must avoid theirs
        // but reserves nothing.
        info.name = names_.MakeUnique(base);
        names_.Release(info.name);
        return;
    }
    if (!info.name.empty())
        names_.Release(info.name);
    names_.MakeUnique(base, info.name);
}

void MaterialManager::ReadOrClearTexture(MaterialInfo& info, const ON_Material& material) {
    if (!ReadTexture(info, material))
        ClearTexture(info);
}

void MaterialManager::SendPending() {
    FlatSet<MaterialInfo*>& pending = tables_->pending;
    if (pending.empty() || !link_)
        return;
    std::vector<MaterialInfo*> order(pending.begin(), pending.end());
    std::sort(order.begin(), order.end(), [](const MaterialInfo* a, const MaterialInfo* b) { return a->id < b->id; });
    for (MaterialInfo* info : order)
        SendMaterial(info);
    pending.clear();
    for (uint32_t id : releasedBuffers_)
        link_->DestroyBuffer(id);
    releasedBuffers_.clear();
    link_->SetFlags(VantroAPI::kHeaderChanged);
}

void MaterialManager::SendMaterial(MaterialInfo* info) {
    if (!info || !link_ || info->id == 0)
        return;
    if (!info->record) {
        info->record = link_->AddRecord(VantroAPI::kTagSrfc);
        if (!info->record)
            return;
        info->revision = 0;
        info->textureBuffer = 0;
        info->textureCapacity = 0;
    }
    auto* record = reinterpret_cast<std::byte*>(info->record);
    srfc::storeFixedText(record, srfc::kName, info->name);
    srfc::storeFixedText(record, srfc::kLibraryId, info->libraryId);
    store(record, srfc::kType, static_cast<int32_t>(info->type));
    store(record, srfc::kDiffuse, info->diffuse);
    store(record, srfc::kHalf, info->half);
    store(record, srfc::kShine, info->shine);
    store(record, srfc::kZeroFloat, info->zeroFloat);
    store(record, srfc::kZero820, info->zero820);
    store(record, srfc::kOpacity, info->opacity);
    store(record, srfc::kZero828, info->zero828);
    store(record, srfc::kOne, info->one);
    store(record, srfc::kZero836, info->zero836);

    WriteTexture(*info, record);
    // What the record shows, not what info holds: an image whose buffer failed and a
    // path the field could not hold are no texture.
    const bool textured = info->textureImage.empty()
                              ? !info->texturePath.empty() && info->texturePath.size() <= srfc::kTexturePath.units
                              : info->textureBuffer != 0;
    store(record, srfc::kTextureStamp, textured ? uint32_t(info->textureStamp) : 0u);
    if (textured)
        store(record, srfc::kDiffuse, srfc::kTexturedDiffuse);

    store(record, srfc::kMinusOne, int32_t(-1));
    std::memset(record + srfc::kZeroBlockOffset, 0, srfc::kZeroBlockSize);
    store(record, srfc::kZero1912, 0u);

    uint32_t flags = VantroAPI::kRecordChanged;
    if (info->changed) {
        ++info->revision;
        flags |= srfc::kMaterialChanged;
    }
    store(record, srfc::kRevision, info->revision);
    if (info->textureChanged)
        flags |= srfc::kTextureChanged;
    info->changed = false;
    info->textureChanged = false;
    link_->SetRecordFlags(info->record, flags);
}
