#pragma once

// The native writer: a map as the text of a native document ("document/mindmap.xml"), the selection parcel that
// names the selected element by written topic ids, and the archive that holds such a text with its pictures.

#include "formats/CVFilers.h"
#include "formats/CvmxArchivers.h"
#include "formats/OXXMLDOM.h"

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

// Writes the whole map in the vocabulary the native reader reads, so that reading the text gives the map back.
// Topic ids are the topics' places in one depth-first list of every central theme's branch: a parent's id is
// smaller than its children's and a branch takes consecutive ids.
class TCvmxMindMapWriter : public TCVMindMapWriterBase {
public:
    explicit TCvmxMindMapWriter(TMindMap& map);

    // The flag is ignored: the whole map is always written.
    std::string Write(bool selectedBranchesOnly) override;

    // The topics in id order, as the last Write listed them.
    const std::vector<TMindMapNode*>& WrittenTopics() const { return FTopics; }
    // The topic's id, or -1 when it is not among the written topics.
    int TopicId(const TMindMapNode* topic) const;

private:
    void CollectTopics();
    void WriteMeta(TXMLElement& meta);
    void WriteDocumentStyle(TXMLElement& style);
    void WriteTopic(TXMLElement& parent, TMindMapNode& topic);
    void WriteRelations(TXMLElement& relations);
    void WriteGroups(TXMLElement& groups);
    void WriteRelationParts(TXMLElement& element, TMindMapRelation& relation);
    void WriteContained(TXMLElement& list, const TCompositeElement& owner, bool imagesOnly);

    TXMLDocument FDocument;
    std::vector<TMindMapNode*> FTopics; // not owned
    std::unordered_map<const TMindMapNode*, int> FIds;
};

// The primary selected element in terms of written topic ids; type 0 when nothing is selected.
struct TSelectionParcel {
    TElementKind Type = ekNone;
    std::string Guid;
    bool Contained = false;              // a contained image or free text
    TElementKind ContainerType = ekNone; // the kind of a contained element's owner
    int ChildIndex = -1;                 // its place in the owner's contained elements
    int Id = -1;                         // the topic that anchors the element
    int Source = -1;                     // a cross link's source topic
};

// Fills a parcel from the map's selection through the ids of a writer's topic list.
class TCvmxSelectionParcelWriter {
public:
    explicit TCvmxSelectionParcelWriter(const TCvmxMindMapWriter& writer) : FWriter(&writer) {}

    // An element without guid gets one only when the map counts as modified.
    TSelectionParcel Fill(TMindMap& map) const;
    // The "selection" element of the meta block; nothing for an empty parcel.
    static void WriteParcel(const TSelectionParcel& parcel, TXMLElement& meta);

private:
    const TCvmxMindMapWriter* FWriter; // not owned
};

// The styles of an embedded style sheet, as ReadLeveledStyleBlock reads them: the map attributes (through the
// callback), "has-levels", the topic styles per level, the cross-link and the connection styles per level, and the
// free-text style.
void WriteLeveledStyleBlock(TXMLElement& block, const TLeveledMindMapStyle& sheet,
                            const std::function<void(TXMLElement&)>& writeMapAttributes);

// Native archive bytes: the document text as "document/mindmap.xml" (UTF-8 with a byte-order mark) and each
// picture as "images/<key>.png". Raises ECVException when the archive cannot be built.
std::string BuildNativeArchive(const std::string& documentText, const std::vector<TArchiveImage>& images);
// Writes such an archive to a file; the file is replaced only once the whole archive is written.
void WriteNativeArchive(const std::string& path, const std::string& documentText,
                        const std::vector<TArchiveImage>& images);
