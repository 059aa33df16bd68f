#include "PropertyList.h"

#include <stdexcept>

namespace OndrelPipl {
namespace {

class ByteWriter {
public:
    explicit ByteWriter(ByteOrder order) : m_order(order) {}

    void u8(std::uint8_t v) { m_out.push_back(v); }
    void u16(std::uint16_t v) { _put(v, 2); }
    void u32(std::uint32_t v) { _put(v, 4); }
    void bytes(const std::string& s) { m_out.insert(m_out.end(), s.begin(), s.end()); }
    void zeros(std::size_t n) { m_out.insert(m_out.end(), n, 0); }

    std::vector<std::uint8_t> take() { return std::move(m_out); }

private:
    void _put(std::uint32_t v, int size) {
        for (int i = 0; i < size; ++i) {
            const int shift = m_order == ByteOrder::Little ? 8 * i : 8 * (size - 1 - i);
            m_out.push_back(static_cast<std::uint8_t>(v >> shift));
        }
    }

    ByteOrder m_order;
    std::vector<std::uint8_t> m_out;
};

std::vector<std::uint8_t> encodeValue(const PropertyValue& value, ByteOrder order) {
    ByteWriter w(order);
    struct Visitor {
        ByteWriter& w;
        void operator()(std::uint32_t v) const { w.u32(v); }
        void operator()(const VersionPair& v) const {
            w.u16(v.major);
            w.u16(v.minor);
        }
        void operator()(const Word16& v) const { w.u16(v.value); }
        void operator()(const PascalString& s) const {
            if (s.text.size() > 255) {
                throw std::length_error("Pascal string longer than 255 characters: " + s.text);
            }
            w.u8(static_cast<std::uint8_t>(s.text.size()));
            w.bytes(s.text);
        }
        void operator()(const CString& s) const {
            w.bytes(s.text);
            w.zeros(1);
        }
    };
    std::visit(Visitor{w}, value);
    std::vector<std::uint8_t> data = w.take();
    data.resize((data.size() + 3) / 4 * 4, 0);
    return data;
}

} // namespace

std::vector<Property> effectProperties(const Ondrel::EffectRegistration& effect,
                                       std::span<const std::uint32_t> entryKeys) {
    namespace R = Ondrel::Registration;
    std::vector<Property> props{
        {fourCC("kind"), fourCC("eFKT")},
        {fourCC("name"), PascalString{effect.name}},
        {fourCC("catg"), PascalString{R::category}},
    };
    for (std::uint32_t key : entryKeys) {
        props.push_back({key, CString{effect.entryName}});
    }
    props.insert(props.end(), {
                                  {fourCC("ePVR"), VersionPair{R::propertyListVersion, 0}},
                                  {fourCC("eSVR"), VersionPair{R::effectInterfaceVersion, 0}},
                                  {fourCC("eVER"), R::versionWord},
                                  {fourCC("eINF"), Word16{R::infoFlags}},
                                  {fourCC("eGLO"), static_cast<std::uint32_t>(R::outFlags)},
                                  {fourCC("eGL2"), static_cast<std::uint32_t>(R::outFlags2)},
                                  {fourCC("eMNA"), PascalString{effect.matchName}},
                                  {fourCC("aeFL"), R::reservedInfo},
                              });
    return props;
}

std::vector<std::uint8_t> encodePropertyList(std::span<const Property> properties,
                                             ByteOrder order) {
    ByteWriter w(order);
    w.u16(1);
    w.u32(0);
    w.u32(static_cast<std::uint32_t>(properties.size()));
    std::vector<std::uint8_t> out = w.take();
    for (const Property& p : properties) {
        const std::vector<std::uint8_t> data = encodeValue(p.value, order);
        ByteWriter head(order);
        head.u32(fourCC("8BIM"));
        head.u32(p.key);
        head.u32(0);
        head.u32(static_cast<std::uint32_t>(data.size()));
        const std::vector<std::uint8_t> h = head.take();
        out.insert(out.end(), h.begin(), h.end());
        out.insert(out.end(), data.begin(), data.end());
    }
    return out;
}

} // namespace OndrelPipl
