#include "support/recording_container.h"

#include <algorithm>
#include <sstream>

namespace kltest {

namespace {

constexpr plat::IID kEvents = plat::make_guid("9D998152-B884-11CE-8D47-444553540000");

const std::map<plat::DISPID, const char*>& Names() {
    static const std::map<plat::DISPID, const char*> names{
        {-605, "MouseDown"},       {-606, "MouseMove"},      {-607, "MouseUp"},
        {-602, "KeyDown"},         {-603, "KeyPress"},       {-604, "KeyUp"},
        {1, "PictureClick"},       {2, "PictureDblClick"},   {3, "Click"},
        {4, "DblClick"},           {5, "HScroll"},           {6, "VScroll"},
        {7, "AfterEditing"},       {8, "EditingKeyDown"},    {9, "EditingKeyPress"},
        {10, "EditingKeyUp"},      {11, "Collapse"},         {12, "Expand"},
        {13, "MarkClick"},         {14, "MarkDblClick"},     {15, "PlusMinusClick"},
        {16, "PlusMinusDblClick"}, {17, "RequestEditing"},   {18, "GridCellClick"},
        {19, "ItemClick"},         {20, "ItemQueryData"},    {21, "OLEDragDrop"},
        {22, "OLEDragOver"},       {23, "GridCellDblClick"}, {24, "ItemDblClick"},
        {25, "BeginPage"},         {26, "EndPage"},          {27, "PreparePage"},
        {28, "AutoDragRequest"},   {29, "AutoDragComplete"},
    };
    return names;
}

std::string Text(const plat::Variant& v) {
    if (v.vt == plat::VT_DISPATCH || v.vt == plat::VT_UNKNOWN) return "object";
    if (v.vt == plat::VT_BSTR) return "\"" + v.to_utf8() + "\"";
    return v.to_utf8();
}

} // namespace

RecordingContainer::RecordingContainer(QWidget* parent) : ControlHost(parent) {
    m_sink = plat::make_event_sink(kEvents,
                                   [this](plat::DISPID id, plat::EventArgs& args) { received(id, args); });
}

RecordingContainer::~RecordingContainer() {
    release();
}

plat::ComPtr<plat::IDispatch> RecordingContainer::create(const plat::CLSID& clsid, plat::HRESULT* hr) {
    release();
    plat::ComPtr<plat::IDispatch> ctl = ControlHost::create(clsid, hr);
    if (!ctl) return ctl;
    m_source = control();
    if (plat::FAILED(plat::connect_events(m_source.get(), kEvents, m_sink.get(), m_cookie))) m_cookie = 0;
    return ctl;
}

void RecordingContainer::release() {
    if (m_source && m_cookie) plat::disconnect_events(m_source.get(), kEvents, m_cookie);
    m_cookie = 0;
    m_source.reset();
    ControlHost::release();
}

void RecordingContainer::answer(plat::DISPID id, size_t arg, plat::Variant value) {
    m_answers.emplace(id, std::make_pair(arg, std::move(value)));
}

void RecordingContainer::on(plat::DISPID id, Handler handler) {
    m_handlers[id] = std::move(handler);
}

void RecordingContainer::clear_answers() {
    m_answers.clear();
    m_handlers.clear();
}

void RecordingContainer::received(plat::DISPID id, plat::EventArgs& args) {
    RecordedEvent e{id, {}};
    for (size_t i = 0; i < args.count(); ++i)
        e.args.push_back(args.value(i));
    m_events.push_back(std::move(e));
    auto [first, last] = m_answers.equal_range(id);
    for (auto it = first; it != last; ++it)
        args.set(it->second.first, it->second.second);
    // The handler may drop this container's control, or the container.
    auto h = m_handlers.find(id);
    if (h != m_handlers.end()) {
        Handler handler = h->second;
        handler(args);
    }
}

std::string RecordingContainer::name(plat::DISPID id) {
    auto it = Names().find(id);
    return it == Names().end() ? std::to_string(id) : it->second;
}

std::string RecordingContainer::trace(bool moves) const {
    std::ostringstream out;
    for (const RecordedEvent& e : m_events) {
        if (e.id == -606 && !moves) continue;
        if (out.tellp() > 0) out << ' ';
        out << name(e.id);
        // Positions vary with fonts: the stock mouse events show button and shift.
        size_t shown = (e.id >= -607 && e.id <= -605) ? std::min<size_t>(2, e.args.size()) : e.args.size();
        if (shown == 0) continue;
        out << '(';
        for (size_t i = 0; i < shown; ++i)
            out << (i ? "," : "") << Text(e.args[i]);
        out << ')';
    }
    return out.str();
}

size_t RecordingContainer::count(plat::DISPID id) const {
    return std::count_if(m_events.begin(), m_events.end(),
                         [id](const RecordedEvent& e) { return e.id == id; });
}

} // namespace kltest
