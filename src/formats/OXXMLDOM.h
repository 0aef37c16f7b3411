#pragma once

// The tree of the system's own XML layer: elements with ordered attribute lists under a document. Names of
// elements and attributes are compared without regard to (ASCII) case.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

enum TXMLElementKind : std::uint8_t {
    xekDocument = 0,
    xekElement = 1,
    xekComment = 2,
    xekInstruction = 3,
    xekText = 4,
    xekDTD = 5,
    xekCData = 8, // written as a CDATA section; the reader never creates it
};

// The attributes of one element in document order. Not a map: a name may occur more than once, and lookup
// returns the first pair with that name.
class TXMLAttributes {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    bool IsEmpty() const { return FItems.empty(); }
    // Raise ECVException "List index out of bounds (%d)" outside 0 .. Count() - 1.
    const std::string& Name(int index) const;
    const std::string& Value(int index) const;
    void SetValue(int index, std::string value);

    // Index of the first pair named `name`, or -1.
    int IndexOf(std::string_view name) const;
    bool Contains(std::string_view name) const { return IndexOf(name) >= 0; }
    // The value of the first pair named `name`, or null.
    const std::string* Find(std::string_view name) const;
    // The value of the first pair named `name`, or empty.
    std::string Get(std::string_view name) const;

    // Appends, even when the name exists.
    void Add(std::string_view name, std::string_view value);
    // Appends only a non-empty value, so that optional attributes are never written empty.
    void AddIfNotEmpty(std::string_view name, std::string_view value);
    // Replaces the value of the first pair named `name`, or appends. Returns the index of the pair.
    int Set(std::string_view name, std::string_view value);
    void Clear() { FItems.clear(); }

private:
    void CheckIndex(int index) const;

    std::vector<std::pair<std::string, std::string>> FItems;
};

class TXMLElement {
public:
    explicit TXMLElement(TXMLElementKind kind, std::string name = {});
    TXMLElement(const TXMLElement&) = delete;
    TXMLElement& operator=(const TXMLElement&) = delete;
    // Frees the subtree (without recursion, however deep it is) and detaches the element from its parent.
    virtual ~TXMLElement();

    TXMLElementKind Kind() const { return FKind; }
    const std::string& Name() const { return FName; }
    void SetName(std::string name) { FName = std::move(name); }
    const std::string& Text() const { return FText; }
    void SetText(std::string text) { FText = std::move(text); }
    TXMLElement* Parent() const { return FParent; }
    TXMLAttributes& Attributes() { return FAttributes; }
    const TXMLAttributes& Attributes() const { return FAttributes; }

    // Appends a new element (kind 1), text (kind 4) or CDATA (kind 8) child and returns it.
    TXMLElement* AddChild(std::string_view name);
    TXMLElement* AddText(std::string_view text);
    TXMLElement* AddCData(std::string_view text);
    // Takes `child` over as the last child. A child that already sits in a tree is owned by that tree: the
    // pointer is released, and the child is moved from its old parent (nothing happens when that parent is this
    // element). An ancestor of this element (or the element itself) raises ECVException "Recursion detected";
    // the caller then keeps `child`.
    void AppendChild(std::unique_ptr<TXMLElement>&& child);
    // Detaches the child at `index` and hands it to the caller.
    std::unique_ptr<TXMLElement> ExtractChild(int index);

    int ChildCount() const { return static_cast<int>(FChildren.size()); }
    // Raises ECVException "List index out of bounds (%d)" outside 0 .. ChildCount() - 1.
    TXMLElement* Child(int index) const;
    // The first child of any kind whose name matches.
    bool FindChildIndex(std::string_view name, int& index) const;
    TXMLElement* FindChild(std::string_view name) const;
    // Follows FindChild through the names; null as soon as one is missing, the element itself for no names.
    TXMLElement* FindPath(std::initializer_list<std::string_view> names) const;
    bool IsElementNamed(std::string_view name) const;
    // The text of the first text child, or empty.
    std::string GetText() const;

    // Frees all children and empties name, text and attributes.
    virtual void Clear();

    // Typed attribute access. Numbers use "." whatever the process locale; a value that does not convert (NaN
    // and infinities included) gives the default.
    bool HasAttribute(std::string_view name) const;
    std::string GetString(std::string_view name) const;
    int GetInt(std::string_view name, int def) const;
    double GetFloat(std::string_view name, double def) const;
    bool GetBool(std::string_view name, bool def) const;
    void SetString(std::string_view name, std::string_view value);
    void AddIfNotEmpty(std::string_view name, std::string_view value);
    void SetInt(std::string_view name, int value);
    void SetBool(std::string_view name, bool value); // "True" / "False"
    // Shortest general form, up to 15 significant digits.
    void SetFloat(std::string_view name, double value);
    // Fixed notation with two decimals, for coordinates and sizes.
    void SetFixed(std::string_view name, double value);

private:
    TXMLElement* Append(std::unique_ptr<TXMLElement> child);
    static void FreeNodes(std::vector<std::unique_ptr<TXMLElement>> nodes);

    TXMLElementKind FKind;
    std::string FName;
    std::string FText;
    TXMLAttributes FAttributes;
    TXMLElement* FParent = nullptr;                      // not owned
    std::vector<std::unique_ptr<TXMLElement>> FChildren; // owned
};

class TXMLDocument : public TXMLElement {
public:
    TXMLDocument();

    // The first child of kind 1, or null; instructions and the DTD node stand before it.
    TXMLElement* RootElement() const;
    // Also resets the declaration values and the DOCTYPE name; the writer options stay.
    void Clear() override;

    // The DOCTYPE name is the document's name ("Document" by default, empty for no DOCTYPE line).
    const std::string& DocTypeName() const { return Name(); }
    void SetDocTypeName(std::string name) { SetName(std::move(name)); }

    // From and for the XML declaration.
    const std::string& Version() const { return FVersion; }
    void SetVersion(std::string version) { FVersion = std::move(version); }
    const std::string& Encoding() const { return FEncoding; }
    void SetEncoding(std::string encoding) { FEncoding = std::move(encoding); }
    const std::string& Standalone() const { return FStandalone; }
    void SetStandalone(std::string standalone) { FStandalone = std::move(standalone); }

    // Writer options.
    bool WriteDeclaration() const { return FWriteDeclaration; }
    void SetWriteDeclaration(bool value) { FWriteDeclaration = value; }
    bool Indent() const { return FIndent; }
    void SetIndent(bool value) { FIndent = value; }
    bool PreserveCase() const { return FPreserveCase; }
    void SetPreserveCase(bool value) { FPreserveCase = value; }

private:
    std::string FVersion = "1.0";
    std::string FEncoding;
    std::string FStandalone;
    bool FWriteDeclaration = true;
    bool FIndent = true;
    bool FPreserveCase = false;
};
