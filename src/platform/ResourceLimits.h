#pragma once

// Every resource limit of the program, in one place. Files come from anywhere (mail attachments, downloads), so
// whatever a file holds or claims, reading it ends in a clear error that names the limit it passed, never in an
// allocation failure or a kill by the kernel. The "Limits" table of README.md mirrors this header: change both
// together.

#include <cstddef>
#include <cstdint>

// ---- Files read whole into memory

// A document or outline file: 512 MiB, far beyond any real map.
constexpr std::uint64_t kMaxDocumentFileBytes = 512ull << 20;
// A picture file opened for the preview: 256 MiB, enough for a 64-megapixel PNG.
constexpr std::uint64_t kMaxPictureFileBytes = 256ull << 20;

// ---- ZIP archives: sizes an archive declares are not trusted, the bytes actually inflated are counted

// One inflated entry, the document itself: 256 MiB.
constexpr std::uint64_t kMaxArchiveEntryBytes = 256ull << 20;
// Everything inflated from one archive, pictures included: 1 GiB.
constexpr std::uint64_t kMaxArchiveTotalBytes = 1024ull << 20;
// One inflated picture entry: 64 MiB; a larger one is skipped like a damaged picture.
constexpr std::uint64_t kMaxPictureEntryBytes = 64ull << 20;

// ---- XML

// Element depth: code that walks a read tree may recurse this deep.
constexpr int kMaxXMLNesting = 1000;
// One attribute value, name, text, instruction or DTD the tree keeps: 16 MiB, refused before it is copied.
constexpr std::size_t kMaxXMLValueBytes = 16u << 20;
// Elements, texts and attributes of one document: ~100 bytes each in the tree, so floods of tiny ones stop near 1 GiB.
constexpr std::size_t kMaxXMLNodes = 8u << 20;

// ---- Maps

// Topics of one document, for every reader: a topic takes about 2 KB once measured and laid out.
constexpr std::size_t kMaxTopics = 500000;

// ---- Pictures read: checked from the PNG or JPEG header before any pixel buffer is allocated

// Pixels a side of one picture.
constexpr int kMaxPictureSide = 16384;
// Pixels of one picture: 64 megapixels (8192 x 8192), 256 MiB as 32-bit pixels.
constexpr std::uint64_t kMaxPicturePixels = 64ull << 20;
// Pixels of all the pictures of one document together: 1 GiB as 32-bit pixels.
constexpr std::uint64_t kMaxDocumentPicturePixels = 256ull << 20;
// Scans of a progressive JPEG: each one passes over the whole picture again (real files have about ten).
constexpr int kMaxJpegScans = 100;

// ---- Pictures made

// Pixels a side of an exported map picture: the largest image surface cairo makes.
constexpr int kMaxImageSide = 32767;
// Pixels of an exported map picture: 400 megapixels (1.6 GB).
constexpr double kMaxImagePixels = 400e6;
// Bytes of a map's outline text: its indents grow with the square of the map's depth.
constexpr std::size_t kMaxOutlineBytes = 256u << 20;
