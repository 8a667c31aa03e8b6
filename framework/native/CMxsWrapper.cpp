// CMxsWrapper: creation, the operation table, messages, state, names,
// parameters and the interface engine and editor use. The audio path and the
// voices are in CMxsWrapperAudio.cpp.

#include "framework/native/CMxsWrapper.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "framework/engine/CPluginDefinition.h"
#include "framework/engine/CSynthesizer.h"
#include "framework/engine/EditorView.h"
#include "framework/gui/CPluginUI.h"
#include "framework/native/NativeStateStream.h"
#include "framework/util/TextCopy.h"

namespace {

constexpr int kBankSelect = 32;
constexpr int kSustain = 64;
constexpr int kResetAllControllers = 121;
constexpr int kAllNotesOff = 123;
constexpr int kVolume = 7;
constexpr int kPan = 10;

// Each part of a hint text is cut to this many characters.
constexpr std::size_t kHintPart = 128;
// Engine texts are bounded far below this.
constexpr std::size_t kScratchText = 1024;

static_assert(CMxsWrapper::kMaxExtraOutputs == CSynthesizer::kMaxChannelPointers,
    "the adaptor hands the engine as many channel pointers as it reads");

char gLongName[kOrvaneNameCapacity];
char gShortName[kOrvaneNameCapacity];
TOrvanePlugInfo gInfo;

// The host's slots are read per call: a host may leave any of them empty.
template <typename F> F hostSlot(const TOrvaneHostOperations* ops, F TOrvaneHostOperations::*slot)
{
    return ops != nullptr ? ops->*slot : nullptr;
}

}  // namespace

// ---- the operation tables ------------------------------------------------------

const TOrvanePlugOperations& TCPPOrvanePlug::defaults()
{
    static constexpr TOrvanePlugOperations table = {
        [](TOrvanePlug*) {},
        [](TOrvanePlug*, int32_t, intptr_t, intptr_t) -> int32_t { return 0; },
        [](TOrvanePlug*) {},
        [](TOrvanePlug*, NativeByteStream*, int32_t) {},
        [](TOrvanePlug*, int32_t, int32_t, int32_t, char*) {},
        [](TOrvanePlug*, int32_t, float, intptr_t) -> int32_t { return 0; },
        [](TOrvanePlug*, int32_t, int32_t value, int32_t) -> int32_t { return value; },
        [](TOrvanePlug*, const float*, float*, int32_t) {},
        [](TOrvanePlug*, float*, int32_t*) {},
        [](TOrvanePlug*, const TOrvaneVoiceRecord*, intptr_t) -> intptr_t { return 0; },
        [](TOrvanePlug*, intptr_t) {},
        [](TOrvanePlug*, intptr_t) {},
        [](TOrvanePlug*, intptr_t, int32_t, intptr_t) -> int32_t { return 0; },
        [](TOrvanePlug*, intptr_t, intptr_t, intptr_t, intptr_t) -> int32_t { return 0; },
        [](TOrvanePlug*) {},
        [](TOrvanePlug*) {},
        [](TOrvanePlug*, const uint8_t*) {},
        [](TOrvanePlug*, intptr_t, intptr_t) {},
        [](TOrvanePlug*) {},
        [](TOrvanePlug*) {},
    };
    return table;
}

namespace {
using W = CMxsWrapper;
W* of(TOrvanePlug* plug) { return W::fromPlug(plug); }
}

const TOrvanePlugOperations& CMxsWrapper::operations()
{
    const TOrvanePlugOperations& base = TCPPOrvanePlug::defaults();
    static const TOrvanePlugOperations table = {
        [](TOrvanePlug* p) {
            if (W* w = of(p))
                w->destroy();
        },
        [](TOrvanePlug* p, int32_t id, intptr_t i, intptr_t v) {
            W* w = of(p);
            return w ? w->handleMessage(id, i, v) : 0;
        },
        base.reserved2,
        [](TOrvanePlug* p, NativeByteStream* s, int32_t save) {
            if (W* w = of(p))
                w->transferState(s, save != 0);
        },
        [](TOrvanePlug* p, int32_t kind, int32_t i, int32_t, char* t) {
            if (W* w = of(p))
                w->getItemName(kind, i, t);
        },
        [](TOrvanePlug* p, int32_t id, float v, intptr_t) {
            W* w = of(p);
            return w ? w->receiveEvent(id, v) : 0;
        },
        [](TOrvanePlug* p, int32_t i, int32_t v, int32_t f) {
            W* w = of(p);
            return w ? w->accessParameter(i, v, f) : v;
        },
        [](TOrvanePlug* p, const float* in, float* out, int32_t n) {
            if (W* w = of(p))
                w->renderEffect(in, out, n);
        },
        [](TOrvanePlug* p, float* buffer, int32_t* n) {
            if (W* w = of(p))
                w->renderGenerator(buffer, n);
        },
        [](TOrvanePlug* p, const TOrvaneVoiceRecord* r, intptr_t tag) {
            W* w = of(p);
            return w ? w->startVoice(r, tag) : intptr_t(0);
        },
        [](TOrvanePlug* p, intptr_t h) {
            if (W* w = of(p))
                w->releaseVoice(h);
        },
        [](TOrvanePlug* p, intptr_t h) {
            if (W* w = of(p))
                w->killVoice(h);
        },
        base.voiceEvent,
        base.renderVoice,
        base.reserved14,
        base.reserved15,
        [](TOrvanePlug* p, const uint8_t* m) {
            if (W* w = of(p))
                w->receiveMidi(m);
        },
        base.reserved17,
        [](TOrvanePlug* p) {
            if (W* w = of(p))
                w->destroy();
        },
        [](TOrvanePlug* p) {
            if (W* w = of(p))
                w->killAllVoices();
        },
    };
    return table;
}

// ---- creation and lifetime --------------------------------------------------------

TOrvanePlugInfo& CMxsWrapper::info() { return gInfo; }

CMxsWrapper* CMxsWrapper::fromPlug(TOrvanePlug* plug) noexcept
{
    return plug != nullptr ? reinterpret_cast<NativePlugObject*>(plug)->owner : nullptr;
}

TOrvanePlug* createPlugInstance(TOrvaneHost* host, int32_t tag) noexcept
{
    CMxsWrapper* wrapper = CMxsWrapper::create(host, tag);
    return wrapper != nullptr ? wrapper->plug() : nullptr;
}

CMxsWrapper* CMxsWrapper::create(TOrvaneHost* host, int32_t tag) noexcept
{
    CPluginDefinition* definition = pluginDefinition();
    if (definition == nullptr)
        return nullptr;
    definition->setFormatText("MX");
    definition->formatId = 3;

    std::memset(&gInfo, 0, sizeof gInfo);
    copyText(gLongName, definition->name);
    copyText(gShortName, definition->name);
    gInfo.version = 1;
    gInfo.longName = gLongName;
    gInfo.shortName = gShortName;
    gInfo.flags = definition->isEffect ? kOrvaneFlagsEffect : kOrvaneFlagsInstrument;
    gInfo.parameterCount = ParameterSpace(definition->publishedParameterCount).size();

    // Nothing may leave through the host's call: a failed allocation anywhere
    // in building the engine or editor just means no instance.
    CMxsWrapper* wrapper = nullptr;
    try {
        wrapper = new CMxsWrapper(host, tag);
        if (!wrapper->allocateBuffers()) {
            wrapper->release();
            delete wrapper;
            return nullptr;
        }
        wrapper->engine_ = definition->createEngine(&wrapper->bridge_);
        if (wrapper->engine_ != nullptr && definition->hasEditor)
            wrapper->editor_ = definition->createEditor(wrapper->engine_);
        // Under this host a click in the editor does not take the keyboard focus.
        if (auto* frame = dynamic_cast<CPluginUI*>(wrapper->editor_))
            frame->setFrameFlags(0);
    } catch (...) {
        if (wrapper != nullptr) {
            wrapper->release();
            delete wrapper;
        }
        return nullptr;
    }
    if (wrapper->instrument_)
        wrapper->dispatch(kOrvaneHostInstrument, 0, 1);
    return wrapper;
}

CMxsWrapper::CMxsWrapper(TOrvaneHost* host, int32_t tag)
    : bridge_(*this)
    , space_(pluginDefinition() != nullptr ? pluginDefinition()->publishedParameterCount : 0)
    , host_(host)
    , hostTag_(tag)
{
    std::memset(&object_.record, 0, sizeof object_.record);
    object_.record.operations = &operations();
    object_.record.hostTag = tag;
    object_.record.info = &gInfo;
    object_.record.sampleRate = kInitialSampleRate;
    object_.record.host = host;
    object_.owner = this;
    std::memset(channelEnables_, 1, sizeof channelEnables_);
    if (const CPluginDefinition* definition = pluginDefinition()) {
        // Pairs past the engine's limit would get buffers it never fills.
        outputPairs_ = std::clamp(definition->outputPairs, 1, CSynthesizer::kMaxOutputPairs);
        instrument_ = !definition->isEffect;
    }
}

CMxsWrapper::~CMxsWrapper() { release(); }

bool CMxsWrapper::allocateBuffers()
{
    for (int32_t i = 0; i < 2 * outputPairs_; ++i) {
        extraOutputs_[i].reset(new (std::nothrow) float[kScratchFrames]);
        if (!extraOutputs_[i])
            return false;
    }
    scratchL_.reset(new (std::nothrow) float[kScratchFrames]);
    scratchR_.reset(new (std::nothrow) float[kScratchFrames]);
    if (!scratchL_ || !scratchR_)
        return false;
    // The menu never grows past its limit, so showing it never reallocates.
    menu_.items.reserve(kMenuLimit);
    return true;
}

void CMxsWrapper::release()
{
    // An open window would call into an editor that is about to go, and the
    // editor reads the engine until its last moment, so: window, editor, engine.
    closeEditor();
    if (editor_ != nullptr) {
        EditorView* old = editor_;
        editor_ = nullptr;
        old->destroyView();
    }
    if (engine_ != nullptr) {
        CSynthesizer* old = engine_;
        engine_ = nullptr;
        old->destroy();
    }
    scratchL_.reset();
    scratchR_.reset();
    for (auto& buffer : extraOutputs_)
        buffer.reset();
    menu_.items.clear();
}

void CMxsWrapper::destroy()
{
    release();
    delete this;
}

// ---- messages -----------------------------------------------------------------------

const TOrvaneHostOperations* CMxsWrapper::hostOps() const { return host_ != nullptr ? host_->operations : nullptr; }

intptr_t CMxsWrapper::dispatch(int32_t message, intptr_t index, intptr_t value)
{
    auto call = hostSlot(hostOps(), &TOrvaneHostOperations::dispatcher);
    return call != nullptr ? call(host_, hostTag_, message, index, value) : 0;
}

int32_t CMxsWrapper::handleMessage(int32_t id, intptr_t index, intptr_t value)
{
    (void)index;
    switch (id) {
    case kOrvaneMsgEditor: value != 0 ? openEditor(static_cast<uintptr_t>(value)) : closeEditor(); break;
    case kOrvaneMsgReset:
        // This host's only word for stopping or suspending processing.
        if (engine_ != nullptr) {
            engine_->reset();
            engine_->processingStopped();
        }
        break;
    case kOrvaneMsgSampleRate: setSampleRate(static_cast<int32_t>(value)); break;
    case kOrvaneMsgEditorIdle:
        if (editor_ != nullptr && editorOpen_)
            editor_->idleView();
        serveParameterMenu();
        break;
    case kOrvaneMsgSwitch:
        if (pluginDefinition() && pluginDefinition()->nativeSwitch)
            dispatch(kOrvaneHostSwitchAnswer, 0, 1);
        break;
    default: break;
    }
    return 0;
}

void CMxsWrapper::openEditor(uintptr_t parent)
{
    if (editor_ == nullptr)
        return;
    if (editorOpen_)
        closeEditor();
    editorOpen_ = editor_->openView(reinterpret_cast<void*>(parent), editor_->viewSize());
    object_.record.editorWindow = editorOpen_ ? editor_->viewHandle() : 0;
}

void CMxsWrapper::closeEditor()
{
    // The menu belongs to the editor's window and goes with it.
    dropParameterMenu();
    if (editor_ != nullptr && editorOpen_)
        editor_->closeView();
    editorOpen_ = false;
    object_.record.editorWindow = 0;
}

void CMxsWrapper::serveParameterMenu()
{
    if (!menuRun_)
        return;
    const platform::PopupAnswer answer = menuRun_->poll();
    if (answer.status == platform::PopupStatus::Open)
        return;
    const int32_t index = menuParameter_;
    dropParameterMenu();
    if (answer.status == platform::PopupStatus::Chosen && answer.id >= kMenuFirstId
        && answer.id < kMenuFirstId + kMenuLimit)
        dispatch(kOrvaneHostMenuChoice, index, answer.id - kMenuFirstId);
}

void CMxsWrapper::dropParameterMenu()
{
    menuRun_.reset();
    menuParameter_ = -1;
}

void CMxsWrapper::setSampleRate(int32_t rate)
{
    // A rate of 0 or below would divide by zero and stop every filter.
    if (rate <= 0)
        return;
    // The record and the first-rate flag are ours; hosts may call from
    // several threads, so the engine's control turn covers them too.
    const auto turn = engine_ != nullptr ? engine_->takeControlTurn() : CSynthesizer::ControlTurn();
    object_.record.pitchStep = static_cast<float>(4294967296.0 * 523.2511306 / rate);
    object_.record.sampleRate = rate;
    if (engine_ != nullptr) {
        engine_->setSampleRate(static_cast<double>(rate));
        if (firstRate_) {
            // The start-up program reaches the chain here, but the host has
            // not asked for it, so it hears nothing of it.
            firstSelect_.store(true);
            engine_->selectProgram(0);
            firstSelect_.store(false);
        }
    }
    firstRate_ = false;
}

// ---- state, names, events --------------------------------------------------------------

void CMxsWrapper::transferState(NativeByteStream* stream, bool save)
{
    if (stream == nullptr)
        return;
    // One turn for the whole stream, so a save sees one program and a restore
    // selects the program it has just written.
    const auto turn = engine_ != nullptr ? engine_->takeControlTurn() : CSynthesizer::ControlTurn();
    if (save)
        NativeStateStream::save(engine_, stream);
    else
        NativeStateStream::restore(engine_, stream, pluginDefinition() ? pluginDefinition()->programCount : 0);
}

void CMxsWrapper::getItemName(int32_t kind, int32_t index, char* text)
{
    if (text == nullptr)
        return;
    char scratch[kScratchText] = {};
    const int32_t slot = space_.controllerSlot(index);
    const bool own = space_.isOwn(index) && engine_ != nullptr;
    switch (kind) {
    case kOrvaneItemParameterName:
        if (own)
            engine_->getParameterName(index, scratch);
        else if (slot >= 0 && slot < ParameterSpace::kControllers)
            std::snprintf(scratch, sizeof scratch, "MIDI CC %d", static_cast<int>(slot));
        else if (slot == ParameterSpace::kAftertouch)
            copyText(scratch, "Chn. Aftertouch");
        else
            return;
        break;
    case kOrvaneItemValueText:
        if (own) {
            char label[kScratchText] = {};
            engine_->getParameterDisplay(index, scratch);
            engine_->getParameterLabel(index, label);
            // A value named by itself ("Model C") has no label to set apart.
            if (label[0] != '\0') {
                appendText(scratch, sizeof scratch, " ");
                appendText(scratch, sizeof scratch, label);
            }
        } else if (slot >= 0 && slot < ParameterSpace::kExtra) {
            std::snprintf(scratch, sizeof scratch, "%d", static_cast<int>(controllerValues_[slot] * 127.0f));
        } else {
            return;
        }
        break;
    case kOrvaneItemExtraName:
        if (engine_ == nullptr)
            return;
        copyText(scratch, kOrvaneNameCapacity, text);
        engine_->getExtraName(index, scratch);
        break;
    case kOrvaneItemProgramName:
        if (engine_ == nullptr || !engine_->getProgramName(0, scratch))
            return;
        break;
    default: return;
    }
    copyText(text, kOrvaneNameCapacity, scratch);
}

int32_t CMxsWrapper::receiveEvent(int32_t id, float value)
{
    if (id == 0 && engine_ != nullptr)
        engine_->setTempo(static_cast<double>(value));
    return 0;
}

// ---- parameters ----------------------------------------------------------------------------

int32_t CMxsWrapper::accessParameter(int32_t index, int32_t value, int32_t flags)
{
    if (!space_.contains(index))
        return value;
    if (flags & kOrvaneParamWide)
        value = ParameterSpace::reduceWide(value);

    if (space_.isOwn(index)) {
        if (engine_ == nullptr)
            return value;
        // The protocol carries fractions; the program may store another scale.
        if (flags & kOrvaneParamGet)
            value = ParameterSpace::toProtocol(engine_->toHostValue(index, engine_->getParameter(index)));
        if (flags & kOrvaneParamSet) {
            const float stored = engine_->fromHostValue(index, ParameterSpace::fromProtocol(value));
            engine_->setParameter(index, stored);
            if (editor_ != nullptr)
                editor_->requestParameterValue(index, stored);
        }
        return value;
    }

    const int32_t slot = space_.controllerSlot(index);
    if (flags & kOrvaneParamGet)
        value = ParameterSpace::toProtocol(controllerValues_[slot]);
    if (flags & kOrvaneParamSet)
        setController(slot, ParameterSpace::fromProtocol(value));
    return value;
}

void CMxsWrapper::setController(int32_t slot, float f)
{
    controllerValues_[slot] = f;
    if (engine_ == nullptr)
        return;
    if (slot == ParameterSpace::kAftertouch) {
        engine_->setChannelPressure(f);
        engine_->onChannelPressure();
        return;
    }
    engine_->setControllerValue(slot, f);
    switch (slot) {
    case kBankSelect: engine_->onBankSelect(static_cast<int32_t>(f * 127.0f)); break;
    case kSustain:
        engine_->setControllerValue(kSustain, f > 0.5f ? 1.0 : 0.0);
        if (f <= 0.5f)
            for (int32_t key = 0; key < kKeys; ++key)
                if (engine_->getKeyDown(key) == 0)
                    engine_->releaseKey(key);
        break;
    case kResetAllControllers:
        for (int32_t c = 0; c < ParameterSpace::kControllers; ++c) {
            engine_->setControllerValue(c, c == kVolume ? 1.0 : (c == kPan ? 0.5 : 0.0));
            engine_->onController(static_cast<int8_t>(c));
        }
        break;
    case kAllNotesOff:
        for (int32_t key = 0; key < kKeys; ++key)
            engine_->releaseKey(key);
        break;
    default: break;
    }
    // Also after the four above, unlike the MIDI decoder: controller 121 is
    // announced twice this way, which hosts of this protocol have always seen.
    engine_->onController(static_cast<int8_t>(slot));
}

float CMxsWrapper::getControllerSlot(int32_t slot) const
{
    return slot >= 0 && slot < ParameterSpace::kExtra ? controllerValues_[slot] : 0.0f;
}

uint8_t CMxsWrapper::getChannelEnable(int32_t channel) const
{
    return channel >= 0 && channel < kChannels ? channelEnables_[channel] : 0;
}

// ---- the interface engine and editor use -------------------------------------------------

void CMxsWrapper::Bridge::parameterChanged(int32_t index, float value)
{
    CMxsWrapper& w = owner_;
    if (!w.space_.isOwn(index) || w.engine_ == nullptr || w.firstSelect_.load())
        return;
    if (auto call = hostSlot(w.hostOps(), &TOrvaneHostOperations::parameterChanged))
        call(w.host_, w.hostTag_, index, ParameterSpace::toProtocol(w.engine_->toHostValue(index, value)));

    char name[kScratchText] = {};
    char display[kScratchText] = {};
    char label[kScratchText] = {};
    w.engine_->getParameterName(index, name);
    w.engine_->getParameterDisplay(index, display);
    w.engine_->getParameterLabel(index, label);
    char hint[3 * kHintPart + 3] = {};
    std::snprintf(hint, sizeof hint, label[0] != '\0' ? "%.128s %.128s %.128s" : "%.128s %.128s", name, display, label);
    if (auto call = hostSlot(w.hostOps(), &TOrvaneHostOperations::showHint))
        call(w.host_, w.hostTag_, hint);
}

void CMxsWrapper::Bridge::setCurrentProgram(int32_t index) { (void)index; }

void CMxsWrapper::Bridge::beginEdit(int32_t index) { (void)index; }

void CMxsWrapper::Bridge::endEdit(int32_t index) { (void)index; }

void CMxsWrapper::Bridge::setChannelFlag(int32_t channel, int32_t flag)
{
    if (channel >= 0 && channel < kChannels)
        owner_.channelEnables_[channel] = static_cast<uint8_t>(flag);
}

int32_t CMxsWrapper::Bridge::showParameterMenu(int32_t index)
{
    CMxsWrapper& w = owner_;
    if (!w.space_.isOwn(index))
        return 0;
    // A menu still up from an earlier click gives way, unanswered.
    w.dropParameterMenu();
    platform::PopupRequest& menu = w.menu_;
    menu.items.clear();
    try {
        for (int32_t k = 0; k < kMenuLimit; ++k) {
            const auto* entry = reinterpret_cast<const TOrvaneMenuEntry*>(w.dispatch(kOrvaneHostMenuEntry, index, k));
            if (entry == nullptr)
                break;
            if (entry->text == nullptr)
                continue;
            platform::PopupItem item;
            item.text.assign(entry->text, ::strnlen(entry->text, kOrvaneNameCapacity - 1));
            item.id = kMenuFirstId + k;
            item.disabled = (entry->flags & kOrvaneMenuDisabled) != 0;
            item.checked = (entry->flags & kOrvaneMenuChecked) != 0;
            item.separator = item.text == "-";
            menu.items.push_back(std::move(item));
        }
        menu.owner = w.object_.record.editorWindow;
        // Shown and left to the editor's idle calls: the host's windows go on
        // while the user looks at the menu.
        if (platform::IPopupMenu* popup = platform::popupMenu())
            w.menuRun_ = popup->show(menu);
    } catch (...) {
        menu.items.clear();
        w.dropParameterMenu();
        return 1;
    }
    if (w.menuRun_)
        w.menuParameter_ = index;
    return 1;
}

int32_t CMxsWrapper::Bridge::hostCommand50()
{
    owner_.dispatch(kOrvaneHostCommand50, 1, 0);
    return 0;
}

void CMxsWrapper::Bridge::getHostItemName(int32_t index, char* text)
{
    if (text == nullptr)
        return;
    copyText(text, kOrvaneNameCapacity, "unknown");
    uint8_t record[kOrvaneItemRecordSize] = {};
    owner_.dispatch(kOrvaneHostItemName, index, reinterpret_cast<intptr_t>(record));
    // The host's text may fill its field to the end of the record.
    record[kOrvaneItemRecordSize - 1] = 0;
    copyText(text, kOrvaneNameCapacity, reinterpret_cast<const char*>(record + kOrvaneItemRecordText));
}

void CMxsWrapper::Bridge::hostCommand3() { owner_.dispatch(kOrvaneHostCommand3, 0, 2); }
