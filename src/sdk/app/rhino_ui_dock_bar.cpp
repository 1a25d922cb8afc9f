#include "sdk/app/rhino_ui_dock_bar.h"

#include <algorithm>

#include "sdk/app/rhino_app.h"

namespace {

// The host keeps each dock bar's place, size and visibility in its profile, as the
// modelling application keeps its window layout: section DockBars\<bar id>.
constexpr char16_t kVisible[] = u"Visible";
constexpr char16_t kDocked[] = u"Docked";
constexpr char16_t kWidth[] = u"Width";
constexpr char16_t kHeight[] = u"Height";
// A stored size outside this is not restored (a damaged or hand-edited profile).
constexpr int kMaxStoredSize = 10000;

ON_wString profileSection(const CRhinoUiDockBar& bar) { return u"DockBars\\" + ON_UuidToString(bar.DockBarID()); }

}  // namespace

bool CRhinoUiImageList::Create(int width, int height) {
    if (width <= 0 || height <= 0)
        return false;
    width_ = width;
    height_ = height;
    count_ = 0;
    images_.clear();
    return true;
}

int CRhinoUiImageList::AddStrip(int stripWidth, int stripHeight) {
    if (width_ <= 0 || stripHeight != height_ || stripWidth < width_)
        return -1;
    const int first = count_;
    count_ += stripWidth / width_;
    images_.resize(size_t(count_));
    return first;
}

int CRhinoUiImageList::Add(const CRhinoUiImage& strip) {
    if (strip.IsEmpty())
        return -1;
    const int first = AddStrip(strip.width, strip.height);
    for (int i = first; first >= 0 && i < count_; ++i)
        images_[size_t(i)] = strip.Crop((i - first) * width_, 0, width_, height_);
    return first;
}

const CRhinoUiImage* CRhinoUiImageList::Image(int index) const {
    if (index < 0 || index >= count_ || images_[size_t(index)].IsEmpty())
        return nullptr;
    return &images_[size_t(index)];
}

CRhinoUiButton::~CRhinoUiButton() {
    if (parent_)
        std::erase(parent_->controls_, this);
}

bool CRhinoUiButton::Create(const ON_wString& text, bool visible, const CRhinoUiRect& rect,
                            CRhinoUiDockBarDialog* parent, unsigned int id) {
    if (!parent || parent_)
        return false;
    parent_ = parent;
    text_ = text;
    visible_ = visible;
    rect_ = rect;
    id_ = id;
    parent->controls_.push_back(this);
    return true;
}

void CRhinoUiButton::SetImageList(int kind, CRhinoUiImageList* list, int index) {
    if (kind < 0 || kind > 1)
        return;
    lists_[kind] = list;
    indices_[kind] = list ? index : -1;
}

const CRhinoUiImageList* CRhinoUiButton::ImageList(int kind) const {
    return kind == 0 || kind == 1 ? lists_[kind] : nullptr;
}

int CRhinoUiButton::ImageIndex(int kind) const { return kind == 0 || kind == 1 ? indices_[kind] : -1; }

bool CRhinoUiButton::Click() {
    if (!parent_ || !visible_ || !enabled_)
        return false;
    return parent_->OnCommand(static_cast<uintptr_t>(id_) | (uintptr_t{BN_CLICKED} << 16), 0);
}

CRhinoUiDockBarDialog::~CRhinoUiDockBarDialog() {
    // Buttons may outlive the dialog (it does not own them); they forget it.
    for (CRhinoUiButton* button : controls_)
        button->parent_ = nullptr;
}

bool CRhinoUiDockBarDialog::OnInitDialog() { return true; }
void CRhinoUiDockBarDialog::OnSize(unsigned int, int, int) {}
bool CRhinoUiDockBarDialog::OnCommand(uintptr_t, intptr_t) { return false; }

CRhinoUiDockBar::~CRhinoUiDockBar() = default;

bool CRhinoUiDockBar::CreateDockBarControls() { return true; }
void CRhinoUiDockBar::OnShowingDockBar(bool) {}
void CRhinoUiDockBar::OnShowDockBar(bool) {}
CRhinoUiSize CRhinoUiDockBar::OnCalcFixedLayout(CRhinoUiSize size, bool, bool) { return size; }
CRhinoUiSize CRhinoUiDockBar::OnCalcSize(CRhinoUiSize size) { return size; }

bool CRhinoUiDockBar::CreateDockBarClientDialog(unsigned int templateId, const DialogFactory& factory, void*) {
    if (dialog_ || !factory)
        return false;
    std::unique_ptr<CRhinoUiDockBarDialog> dialog = factory();
    if (!dialog)
        return false;
    dialog->bar_ = this;
    dialog->templateId_ = templateId;
    dialog->size_ = size_;
    if (!dialog->OnInitDialog())
        return false;
    dialog_ = std::move(dialog);
    return true;
}

void CRhinoUiDockBar::SetDocked(bool docked) {
    docked_ = docked;
    RhinoUiDockBarManager().SaveState(*this);
}

CRhinoUiSize CRhinoUiDockBar::Resize(int cx, int cy) {
    const CRhinoUiSize wanted{cx, cy};
    size_ = docked_ ? OnCalcFixedLayout(wanted, false, cx > cy) : OnCalcSize(wanted);
    if (dialog_) {
        dialog_->size_ = size_;
        dialog_->OnSize(0, size_.cx, size_.cy);
    }
    RhinoUiDockBarManager().SaveState(*this);
    return size_;
}

CRhinoUiDockBar* CRhinoUiDockBarManager::CreateRhinoDockBar(const BarFactory& factory, const ON_UUID& plugInId,
                                                            bool createVisible, unsigned int location, unsigned int,
                                                            const CRhinoUiPoint*, unsigned int) {
    if (!factory)
        return nullptr;
    std::unique_ptr<CRhinoUiDockBar> bar = factory();
    if (!bar || FindDockBar(bar->DockBarID()))
        return nullptr;
    bar->docked_ = location != kFloating;
    bar->size_ = bar->defaultSize_;
    if (!bar->CreateDockBarControls())
        return nullptr;
    CRhinoUiDockBar* raw = bar.get();
    bars_.push_back({std::move(bar), plugInId});
    // A bar the user had before comes back as it was left; a new one as asked.
    bool visible = createVisible;
    if (RestoreState(*raw, visible) || createVisible)
        ShowDockBar(raw->DockBarID(), visible, false);
    return raw;
}

bool CRhinoUiDockBarManager::RestoreState(CRhinoUiDockBar& bar, bool& visible) {
    const CRhinoProfileContext& profile = RhinoApp().ProfileContext();
    const ON_wString section = profileSection(bar);
    bool shown = false, docked = false;
    int cx = 0, cy = 0;
    if (!profile.LoadProfileBool(section.Array(), kVisible, &shown) ||
        !profile.LoadProfileBool(section.Array(), kDocked, &docked))
        return false;
    restoring_ = true;
    bar.docked_ = docked;
    if (profile.LoadProfileInt(section.Array(), kWidth, &cx) && profile.LoadProfileInt(section.Array(), kHeight, &cy) &&
        cx > 0 && cy > 0 && cx <= kMaxStoredSize && cy <= kMaxStoredSize)
        bar.Resize(cx, cy);
    restoring_ = false;
    visible = shown;
    return true;
}

void CRhinoUiDockBarManager::SaveState(const CRhinoUiDockBar& bar) const {
    // Only a bar of this manager, and not while its stored state is put back.
    if (restoring_ || FindDockBar(bar.DockBarID()) != &bar)
        return;
    const CRhinoProfileContext& profile = RhinoApp().ProfileContext();
    const ON_wString section = profileSection(bar);
    profile.SaveProfileBool(section.Array(), kVisible, bar.IsVisible());
    profile.SaveProfileBool(section.Array(), kDocked, bar.IsDocked());
    profile.SaveProfileInt(section.Array(), kWidth, bar.Size().cx);
    profile.SaveProfileInt(section.Array(), kHeight, bar.Size().cy);
}

bool CRhinoUiDockBarManager::ShowDockBar(const ON_UUID& dockBarId, bool show, bool) {
    CRhinoUiDockBar* bar = FindDockBar(dockBarId);
    if (!bar)
        return false;
    bar->OnShowingDockBar(show);
    bar->visible_ = show;
    bar->OnShowDockBar(show);
    SaveState(*bar);
    return true;
}

CRhinoUiDockBar* CRhinoUiDockBarManager::FindDockBar(const ON_UUID& dockBarId) const {
    for (const Entry& e : bars_)
        if (e.bar->DockBarID() == dockBarId)
            return e.bar.get();
    return nullptr;
}

CRhinoUiDockBarManager& RhinoUiDockBarManager() {
    static auto* manager = new CRhinoUiDockBarManager();
    return *manager;
}
