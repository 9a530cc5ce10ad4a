#include "setup/setup_window.h"

#include "common/secure_wipe.h"
#include "engine/lock_engine.h"
#include "version.h"

namespace setup {

std::string AboutProgramName(const std::string& edition) {
    return std::string(engine::kRunningCaption) + " - " + edition + " Edition";
}

std::string AboutVersion(int major, int minor, int patch) {
    return "Version " + std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
}

SetupWindow::SetupWindow(engine::LockEngine& engine, store::Settings& settings, store::Options& options,
                         common::SharedState& state, store::Registry& registry, const SetupServices& services)
    : m_engine(engine), m_settings(settings), m_options(options), m_state(state), m_registry(registry),
      m_shell(services.shell), m_messageBoxes(services.messageBoxes), m_textCase(services.textCase),
      m_crypto(services.crypto), m_elevation(services.elevation), m_events(services.events), m_guard(services.guard) {
    // Taken before start-up loads the store: a change that lands while it loads is loaded again when the watch
    // starts.
    m_stamps = ReadStoreStamps();
    // The add-on offer follows the box however it changes: a click, the settings load, or our own untick.
    m_popupBox = m_options.Subscribe([this](store::Option option) {
        if (option == store::Option::Popup)
            chkpopup_Click();
    });
}

SetupWindow::~SetupWindow() {
    m_popupBox.Reset();
    m_elevatedRun.Reset();
    m_storeWatch.Reset();
    // The view may be gone already: dialogs still open have no window to give back as they go.
    m_view = nullptr;
    ForgetOpeningPassword();
    m_addItem.reset();
    m_setPassword.reset();
}

void SetupWindow::Show(const std::string& openingPassword) {
    if (!m_view)
        return;
    ForgetOpeningPassword();
    m_openingPassword = openingPassword;
    m_view->ShowWindow(!m_shownBefore);
    m_shownBefore = true;
    if (m_changedElsewhere)
        TellChangedElsewhere();
}

bool SetupWindow::IsVisible() const {
    return m_view && m_view->IsWindowVisible();
}

void SetupWindow::cmdapply_Click() {
    if (m_saving)
        return;
    if (m_view)
        m_view->HideWindow();
    SaveAndReload(SaveKind::Ok);
    // Left: unless a save that did not happen (or one that a copy with administrator rights makes) keeps it open.
    if (!IsVisible() && !m_saving)
        ForgetOpeningPassword();
}

void SetupWindow::cmdcancel_Click() {
    // Only hides: edits stay in the controls and reach the store with the next OK, Apply or Remove.
    if (m_view)
        m_view->HideWindow();
    ForgetOpeningPassword();
}

void SetupWindow::cmdapply2_Click() {
    if (!m_saving)
        SaveAndReload(SaveKind::Apply);
}

void SetupWindow::SSTab1_Click(int selectedTab) {
    if (selectedTab != kAboutTab || !m_view)
        return;
    m_view->SetAboutTexts(AboutProgramName(store::kEdition),
                          AboutVersion(KESTREL_VERSION_MAJOR, KESTREL_VERSION_MINOR, KESTREL_VERSION_PATCH));
}

void SetupWindow::LinkLabel_MouseMove(LinkLabel label) {
    const int index = static_cast<int>(label);
    if (m_highlighted[index] || !m_view)
        return;
    m_highlighted[index] = true;
    m_view->SetLinkHighlighted(label, true);
}

void SetupWindow::SSTab1_MouseMove() {
    if (!m_view)
        return;
    for (int index = 0; index < kLinkLabelCount; ++index) {
        if (!m_highlighted[index])
            continue;
        m_highlighted[index] = false;
        m_view->SetLinkHighlighted(static_cast<LinkLabel>(index), false);
    }
}

void SetupWindow::cmdsetpassword_Click() {
    if (!m_view)
        return;
    m_setPassword.reset();
    m_setPassword = std::make_unique<gate::SetPasswordDialog>(m_state.Password, m_textCase, OwnerEnabler(),
                                                              [this] { m_passwordEdited = true; });
    m_setPassword->Create(m_view->CreateSetPasswordView(*m_setPassword));
    m_setPassword->Show();
}

void SetupWindow::CheckBox_Click(store::Option option, bool checked) {
    m_options.Set(option, checked);
}

std::function<void(bool)> SetupWindow::OwnerEnabler() {
    // The dialogs that call it are this window's members: they go before it does.
    return [this](bool enabled) {
        if (m_view)
            m_view->SetEnabled(enabled);
    };
}

void SetupWindow::ForgetOpeningPassword() {
    common::WipeString(m_openingPassword);
}

platform::WindowId SetupWindow::Owner() const {
    return m_view ? m_view->Handle() : 0;
}

} // namespace setup
