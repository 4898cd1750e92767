#include "ui/win32/msxml_versions_reader.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>

#include "ui/win32/windows_api.h"

namespace tarnwell::win32 {
namespace {

// IXMLDOMDocument's interface identifier; the import library that would
// define it is not among mingw-w64's.
constexpr IID kIidXmlDomDocument = {
    0x2933bf81, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};
constexpr IID kIidXmlDomNode = {
    0x2933bf80, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

template <class T>
class ComPtr {
  public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T** Out() {
        Reset();
        return &pointer_;
    }
    T* operator->() const { return pointer_; }
    T* Get() const { return pointer_; }
    void Attach(T* pointer) {
        Reset();
        pointer_ = pointer;
    }
    T* Detach() {
        T* pointer = pointer_;
        pointer_ = nullptr;
        return pointer;
    }
    explicit operator bool() const { return pointer_ != nullptr; }
    void Reset() {
        if (pointer_ != nullptr) pointer_->Release();
        pointer_ = nullptr;
    }

  private:
    T* pointer_ = nullptr;
};

class Bstr {
  public:
    Bstr() = default;
    explicit Bstr(const wchar_t* text) : text_(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR* Out() {
        SysFreeString(text_);
        text_ = nullptr;
        return &text_;
    }
    BSTR Get() const { return text_; }
    std::wstring Text() const { return text_ == nullptr ? std::wstring() : std::wstring(text_); }

  private:
    BSTR text_ = nullptr;
};

std::wstring Wide(const std::string& text) {
    const int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// The system's 8-bit text, as the rest of the program holds texts.
std::string Narrow(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                        length, nullptr, nullptr);
    return narrow;
}

void Check(HRESULT result, const char* what) {
    if (SUCCEEDED(result)) return;
    char text[160];
    std::snprintf(text, sizeof text, "%s (error 0x%08lX)", what,
                  static_cast<unsigned long>(result));
    throw std::runtime_error(text);
}

std::wstring NamespaceOf(IXMLDOMNode* node) {
    Bstr space;
    if (node->get_namespaceURI(space.Out()) != S_OK) return {};
    return space.Text();
}

bool NameMatches(IXMLDOMNode* node, const std::wstring& name) {
    Bstr full, local;
    if (node->get_nodeName(full.Out()) == S_OK && full.Text() == name) return true;
    return node->get_baseName(local.Out()) == S_OK && local.Text() == name;
}

// The first element child of `parent` named `name`: among all children when
// `parent` is the document or belongs to no namespace, else among those of its
// namespace only.
bool FindChild(IXMLDOMNode* parent, const std::wstring& name, bool parentIsElement,
               ComPtr<IXMLDOMNode>& found) {
    const std::wstring space = parentIsElement ? NamespaceOf(parent) : std::wstring();
    ComPtr<IXMLDOMNodeList> children;
    Check(parent->get_childNodes(children.Out()), "Cannot read the update information");
    long count = 0;
    children->get_length(&count);
    for (long i = 0; i < count; ++i) {
        ComPtr<IXMLDOMNode> child;
        if (children->get_item(i, child.Out()) != S_OK) continue;
        DOMNodeType type = NODE_INVALID;
        child->get_nodeType(&type);
        if (type != NODE_ELEMENT || !NameMatches(child.Get(), name)) continue;
        if (!space.empty() && NamespaceOf(child.Get()) != space) continue;
        found.Attach(child.Detach());
        return true;
    }
    return false;
}

// Empty without children; the value of a single plain text node; anything
// else (a CDATA section, an element, a comment beside the text) is refused.
std::optional<std::string> SingleText(IXMLDOMNode* element) {
    ComPtr<IXMLDOMNodeList> children;
    Check(element->get_childNodes(children.Out()), "Cannot read the update information");
    long count = 0;
    children->get_length(&count);
    if (count == 0) return std::string();
    if (count != 1) return std::nullopt;
    ComPtr<IXMLDOMNode> child;
    if (children->get_item(0, child.Out()) != S_OK) return std::nullopt;
    DOMNodeType type = NODE_INVALID;
    child->get_nodeType(&type);
    if (type != NODE_TEXT) return std::nullopt;
    // The node's value as written: the text property would trim its blanks.
    VARIANT value;
    VariantInit(&value);
    std::string text;
    if (child->get_nodeValue(&value) == S_OK && value.vt == VT_BSTR && value.bstrVal != nullptr)
        text = Narrow(value.bstrVal);
    VariantClear(&value);
    return text;
}

VersionsEntry Malformed(std::string error) {
    VersionsEntry entry;
    entry.outcome = VersionsEntry::Outcome::Malformed;
    entry.error = std::move(error);
    return entry;
}

}  // namespace

VersionsEntry MsxmlVersionsReader::Read(const std::string& body, const std::string& product) {
    CLSID documentClass;
    Check(CLSIDFromProgID(L"Msxml2.DOMDocument.6.0", &documentClass),
          "The XML service (MSXML 6) is not installed");
    ComPtr<IXMLDOMDocument> document;
    Check(CoCreateInstance(documentClass, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument,
                           reinterpret_cast<void**>(document.Out())),
          "The XML service (MSXML 6) cannot be started");
    document->put_async(VARIANT_FALSE);
    document->put_validateOnParse(VARIANT_FALSE);
    // What a server sends must not make the program fetch or open anything else.
    document->put_resolveExternals(VARIANT_FALSE);

    // As bytes, so the document's own encoding declaration or byte-order mark decides.
    SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(body.size()));
    if (bytes == nullptr) throw std::runtime_error("Out of memory reading the update information");
    void* data = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(bytes, &data))) {
        if (!body.empty()) std::memcpy(data, body.data(), body.size());
        SafeArrayUnaccessData(bytes);
    }
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_ARRAY | VT_UI1;
    source.parray = bytes;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT loadResult = document->load(source, &loaded);
    VariantClear(&source);
    if (FAILED(loadResult) || loaded != VARIANT_TRUE) {
        ComPtr<IXMLDOMParseError> parseError;
        Bstr reason;
        long line = 0, column = 0;
        if (document->get_parseError(parseError.Out()) == S_OK && parseError) {
            parseError->get_reason(reason.Out());
            parseError->get_line(&line);
            parseError->get_linepos(&column);
        }
        std::string why = Narrow(reason.Text());
        while (!why.empty() && (why.back() == '\n' || why.back() == '\r' || why.back() == ' '))
            why.pop_back();
        return Malformed("The update information is not a valid XML document: " + why + " (line " +
                         std::to_string(line) + ", column " + std::to_string(column) + ")");
    }

    ComPtr<IXMLDOMNode> root, versions, entry, versionElement, urlElement;
    Check(document->QueryInterface(kIidXmlDomNode, reinterpret_cast<void**>(root.Out())),
          "Cannot read the update information");
    if (!FindChild(root.Get(), L"ProductVersions", false, versions)) return {};
    if (!FindChild(versions.Get(), Wide(product), true, entry)) return {};
    if (!FindChild(entry.Get(), L"Version", true, versionElement)) return {};
    const std::optional<std::string> version = SingleText(versionElement.Get());
    if (!version) return Malformed(kElementNotSingleText);
    if (!FindChild(entry.Get(), L"URL", true, urlElement)) return {};
    const std::optional<std::string> url = SingleText(urlElement.Get());
    if (!url) {
        VersionsEntry badUrl = Malformed(kElementNotSingleText);
        badUrl.urlMalformed = true;
        badUrl.version = *version;
        return badUrl;
    }

    VersionsEntry found;
    found.outcome = VersionsEntry::Outcome::Found;
    found.version = *version;
    found.url = *url;
    return found;
}

}  // namespace tarnwell::win32
