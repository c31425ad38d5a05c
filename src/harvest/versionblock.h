#pragma once
// Queries into a version block (VS_VERSIONINFO): a tree of nodes, each a length, a
// value length, (in the 32-bit form) a type word, a zero-terminated key, the value
// and the children. The 32-bit form keeps keys and texts in UTF-16; the older form
// of 16-bit files keeps them in one byte per character.

#include <QByteArray>
#include <QString>

#include <initializer_list>
#include <optional>

class TVersionBlock {
public:
    // BLOCK must outlive this object; nothing is copied.
    explicit TVersionBlock(const QByteArray& block);

    // The block is in the older form of one byte per character.
    bool IsNarrow() const { return FNarrow; }

    struct TValue {
        qsizetype Offset = 0; // where the value starts in the block
        qsizetype Length = 0; // its length in bytes as the node gives it, cut at the node's end
        qsizetype Room = 0;   // bytes from Offset to the end of the node
    };

    // A node of the block: where it lies, its value and its children.
    struct TNode {
        qsizetype Start = 0;
        qsizetype End = 0; // cut at the end of the parent
        qsizetype ValueStart = 0;
        qsizetype ValueLength = 0;
        qsizetype ChildrenStart = 0;
    };

    // The node at the path given by its components, root first; none is the root.
    // Each component names a child by its key, compared without regard to case.
    std::optional<TNode> Node(std::initializer_list<QStringView> components) const;
    // The value of the child of PARENT keyed KEY.
    std::optional<TValue> ChildValue(const TNode& parent, QStringView key) const;

    // The value at PATH, components separated by backslashes ("\" alone is the
    // root): each component names a child by its key, compared without regard to
    // case. Nothing when a component is missing.
    std::optional<TValue> Query(QStringView path) const;
    // The same with the path given as its components, root first; none is the root.
    std::optional<TValue> Query(std::initializer_list<QStringView> components) const;

    // The text of a value: up to its first zero character, never past the end of
    // its node; a value of length 0 is empty. Single-byte text is decoded with
    // CODEPAGE.
    QString Text(const TValue& value, quint16 codePage) const;

private:
    static TValue ValueOf(const TNode& node);
    std::optional<TNode> ParseNode(qsizetype start, qsizetype limit) const;
    bool KeyIs(qsizetype keyStart, qsizetype end, QStringView key) const;
    std::optional<TNode> Child(const TNode& parent, QStringView key) const;

    const QByteArray& FBlock;
    bool FNarrow = false;
};

// Decodes BYTES in the Windows code page CODEPAGE; an unknown code page reads as
// Windows-1252.
QString DecodeCodePage(QByteArrayView bytes, quint16 codePage);
