#include "formats/OXXMLDOM.h"

#include "platform/CVStrings.h"

#include <algorithm>
#include <charconv>

namespace {

[[noreturn]] void RaiseIndexError(int index) {
    throw ECVException(Format("List index out of bounds (%d)", index));
}

} // namespace

// TXMLAttributes

void TXMLAttributes::CheckIndex(int index) const {
    if (index < 0 || index >= Count())
        RaiseIndexError(index);
}

const std::string& TXMLAttributes::Name(int index) const {
    CheckIndex(index);
    return FItems[static_cast<std::size_t>(index)].first;
}

const std::string& TXMLAttributes::Value(int index) const {
    CheckIndex(index);
    return FItems[static_cast<std::size_t>(index)].second;
}

void TXMLAttributes::SetValue(int index, std::string value) {
    CheckIndex(index);
    FItems[static_cast<std::size_t>(index)].second = std::move(value);
}

int TXMLAttributes::IndexOf(std::string_view name) const {
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (SameText(FItems[i].first, name))
            return static_cast<int>(i);
    return -1;
}

const std::string* TXMLAttributes::Find(std::string_view name) const {
    const int index = IndexOf(name);
    return index < 0 ? nullptr : &FItems[static_cast<std::size_t>(index)].second;
}

std::string TXMLAttributes::Get(std::string_view name) const {
    const std::string* value = Find(name);
    return value ? *value : std::string();
}

void TXMLAttributes::Add(std::string_view name, std::string_view value) {
    FItems.emplace_back(name, value);
}

void TXMLAttributes::AddIfNotEmpty(std::string_view name, std::string_view value) {
    if (!value.empty())
        Add(name, value);
}

int TXMLAttributes::Set(std::string_view name, std::string_view value) {
    const int index = IndexOf(name);
    if (index >= 0) {
        FItems[static_cast<std::size_t>(index)].second = value;
        return index;
    }
    Add(name, value);
    return Count() - 1;
}

// TXMLElement

TXMLElement::TXMLElement(TXMLElementKind kind, std::string name) : FKind(kind), FName(std::move(name)) {}

TXMLElement::~TXMLElement() {
    if (FParent) {
        auto& siblings = FParent->FChildren;
        const auto it =
            std::find_if(siblings.begin(), siblings.end(), [this](const auto& p) { return p.get() == this; });
        if (it != siblings.end()) {
            (void)it->release(); // being destroyed already
            siblings.erase(it);
        }
        FParent = nullptr;
    }
    FreeNodes(std::move(FChildren));
}

// Frees a forest without recursion: every node is destroyed only after its children were taken from it, so no
// destructor ever has children to free and deep chains cannot exhaust the stack.
void TXMLElement::FreeNodes(std::vector<std::unique_ptr<TXMLElement>> nodes) {
    for (auto& node : nodes)
        node->FParent = nullptr;
    while (!nodes.empty()) {
        std::unique_ptr<TXMLElement> node = std::move(nodes.back());
        nodes.pop_back();
        for (auto& child : node->FChildren) {
            child->FParent = nullptr;
            nodes.push_back(std::move(child));
        }
        node->FChildren.clear();
    }
}

TXMLElement* TXMLElement::Append(std::unique_ptr<TXMLElement> child) {
    child->FParent = this;
    FChildren.push_back(std::move(child));
    return FChildren.back().get();
}

TXMLElement* TXMLElement::AddChild(std::string_view name) {
    return Append(std::make_unique<TXMLElement>(xekElement, std::string(name)));
}

TXMLElement* TXMLElement::AddText(std::string_view text) {
    TXMLElement* child = Append(std::make_unique<TXMLElement>(xekText));
    child->FText = text;
    return child;
}

TXMLElement* TXMLElement::AddCData(std::string_view text) {
    TXMLElement* child = Append(std::make_unique<TXMLElement>(xekCData));
    child->FText = text;
    return child;
}

void TXMLElement::AppendChild(std::unique_ptr<TXMLElement>&& child) {
    if (!child)
        return;
    if (child->FParent == this) {
        (void)child.release(); // this element owns it already
        return;
    }
    for (const TXMLElement* ancestor = this; ancestor; ancestor = ancestor->FParent)
        if (ancestor == child.get()) {
            if (child->FParent)
                (void)child.release(); // its own parent keeps owning it
            throw ECVException("Recursion detected");
        }
    if (TXMLElement* oldParent = child->FParent) {
        auto& siblings = oldParent->FChildren;
        const auto it =
            std::find_if(siblings.begin(), siblings.end(), [&child](const auto& p) { return p.get() == child.get(); });
        if (it != siblings.end()) {
            (void)it->release(); // ownership goes over to this element through `child`
            siblings.erase(it);
        }
    }
    Append(std::move(child));
}

std::unique_ptr<TXMLElement> TXMLElement::ExtractChild(int index) {
    if (index < 0 || index >= ChildCount())
        RaiseIndexError(index);
    const auto it = FChildren.begin() + index;
    std::unique_ptr<TXMLElement> child = std::move(*it);
    FChildren.erase(it);
    child->FParent = nullptr;
    return child;
}

TXMLElement* TXMLElement::Child(int index) const {
    if (index < 0 || index >= ChildCount())
        RaiseIndexError(index);
    return FChildren[static_cast<std::size_t>(index)].get();
}

bool TXMLElement::FindChildIndex(std::string_view name, int& index) const {
    for (std::size_t i = 0; i < FChildren.size(); ++i)
        if (SameText(FChildren[i]->FName, name)) {
            index = static_cast<int>(i);
            return true;
        }
    return false;
}

TXMLElement* TXMLElement::FindChild(std::string_view name) const {
    int index = 0;
    return FindChildIndex(name, index) ? FChildren[static_cast<std::size_t>(index)].get() : nullptr;
}

TXMLElement* TXMLElement::FindPath(std::initializer_list<std::string_view> names) const {
    const TXMLElement* element = this;
    for (std::string_view name : names) {
        element = element->FindChild(name);
        if (!element)
            return nullptr;
    }
    return const_cast<TXMLElement*>(element);
}

bool TXMLElement::IsElementNamed(std::string_view name) const {
    return FKind == xekElement && SameText(FName, name);
}

std::string TXMLElement::GetText() const {
    for (const auto& child : FChildren)
        if (child->FKind == xekText)
            return child->FText;
    return {};
}

void TXMLElement::Clear() {
    FreeNodes(std::move(FChildren));
    FChildren.clear();
    FName.clear();
    FText.clear();
    FAttributes.Clear();
}

bool TXMLElement::HasAttribute(std::string_view name) const {
    return FAttributes.Contains(name);
}

std::string TXMLElement::GetString(std::string_view name) const {
    return FAttributes.Get(name);
}

int TXMLElement::GetInt(std::string_view name, int def) const {
    const std::string* value = FAttributes.Find(name);
    if (!value)
        return def;
    return ParseInt(*value).value_or(def);
}

double TXMLElement::GetFloat(std::string_view name, double def) const {
    const std::string* value = FAttributes.Find(name);
    if (!value)
        return def;
    return ParseFloat(*value).value_or(def);
}

bool TXMLElement::GetBool(std::string_view name, bool def) const {
    const std::string* value = FAttributes.Find(name);
    if (!value)
        return def;
    for (const char* yes : {"1", "True", "Yes", "Ja", "T", "-1"})
        if (SameText(*value, yes))
            return true;
    for (const char* no : {"0", "False", "No", "Nee", "F"})
        if (SameText(*value, no))
            return false;
    return def;
}

void TXMLElement::SetString(std::string_view name, std::string_view value) {
    FAttributes.Set(name, value);
}

void TXMLElement::AddIfNotEmpty(std::string_view name, std::string_view value) {
    FAttributes.AddIfNotEmpty(name, value);
}

void TXMLElement::SetInt(std::string_view name, int value) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    FAttributes.Set(name, std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

void TXMLElement::SetBool(std::string_view name, bool value) {
    FAttributes.Set(name, value ? "True" : "False");
}

void TXMLElement::SetFloat(std::string_view name, double value) {
    FAttributes.Set(name, FormatFloat(value));
}

void TXMLElement::SetFixed(std::string_view name, double value) {
    FAttributes.Set(name, FormatFixed(value));
}

// TXMLDocument

TXMLDocument::TXMLDocument() : TXMLElement(xekDocument, "Document") {}

TXMLElement* TXMLDocument::RootElement() const {
    for (int i = 0; i < ChildCount(); ++i)
        if (Child(i)->Kind() == xekElement)
            return Child(i);
    return nullptr;
}

void TXMLDocument::Clear() {
    TXMLElement::Clear();
    SetName("Document");
    FVersion = "1.0";
    FEncoding.clear();
    FStandalone.clear();
}
