#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "plugin/host/host_api.h"
#include "plugin/host/records.h"
#include "plugin/host/style.h"
#include "plugin/host/table.h"

class Cgeo_Vector;
class CXF_VectorInfo;
class CXF_ObjectPool;
class CXF_Arena;

// Host object types (Cgeo_VectorObject::GetType, Cgeo_Vector::CreateObject).
enum : int {
    XF_OBJ_EMPTY = 0,
    XF_OBJ_POINT = 1,
    XF_OBJ_LINE = 2,
    XF_OBJ_POLYGON = 3,
    XF_OBJ_ELLIPSE = 4,
    XF_OBJ_TEXT = 5,
};

// Memory from a layer's store of the objects it holds (freed with the layer), or from the heap
// for a null store.
FNC_API void* CXF_ArenaAllocate(CXF_Arena* arena, std::size_t bytes);
// Bytes the host library holds in blocks taken from the system rather than the heap, for all the
// layers of the process (their stores and large text blocks); for measuring memory.
FNC_API std::size_t XF_SystemBlockBytes();

// An allocator that takes memory from a layer's store, or from the heap when it has none. What it
// takes from a store is freed with the store, not piece by piece. A copy of a container made
// with it is on the heap.
template <typename T>
struct CXF_ArenaAllocator {
    using value_type = T;
    CXF_ArenaAllocator() noexcept = default;
    explicit CXF_ArenaAllocator(CXF_Arena* store) noexcept : arena(store) {}
    template <typename U>
    CXF_ArenaAllocator(const CXF_ArenaAllocator<U>& other) noexcept : arena(other.arena) {}
    T* allocate(std::size_t n) { return static_cast<T*>(CXF_ArenaAllocate(arena, n * sizeof(T))); }
    void deallocate(T* p, std::size_t) noexcept {
        if (arena == nullptr) {
            ::operator delete(p);
        }
    }
    CXF_ArenaAllocator select_on_container_copy_construction() const {
        return CXF_ArenaAllocator();
    }
    CXF_Arena* arena = nullptr;
};
template <typename T, typename U>
bool operator==(const CXF_ArenaAllocator<T>& a, const CXF_ArenaAllocator<U>& b) {
    return a.arena == b.arena;
}
template <typename T, typename U>
bool operator!=(const CXF_ArenaAllocator<T>& a, const CXF_ArenaAllocator<U>& b) {
    return a.arena != b.arena;
}

// A list of points: a section of a line or a ring of a polygon. A ring is closed implicitly: its
// last point is not a repeat of the first.
class FNC_API CXF_PolygonD {
public:
    CXF_PolygonD() = default;
    CXF_PolygonD(const CXF_PolygonD& other);
    // A copy whose points lie in a layer's store (a layer copies the objects it stores so).
    CXF_PolygonD(const CXF_PolygonD& other, CXF_Arena* arena);
    CXF_PolygonD(CXF_PolygonD&& other) noexcept;
    CXF_PolygonD& operator=(const CXF_PolygonD& other);
    CXF_PolygonD& operator=(CXF_PolygonD&& other) noexcept;
    ~CXF_PolygonD();

    int GetSize() const { return size; }
    // Keeps the first min(old, n) points; new points are (0, 0, 0). A negative n empties it.
    void SetSize(int n);
    // The points, GetSize of them; null when there are none.
    tagXF_POINT3DD* GetData() { return size > 0 ? points : nullptr; }
    const tagXF_POINT3DD* GetData() const { return size > 0 ? points : nullptr; }

    // Computes the bounding rectangle of the points (all 0 for no points).
    void UpdateBoundRect();
    const CXF_RectD& GetBoundRect() const { return bounds; }

    // Even-odd test of a point against the ring (implicitly closed): true when it lies inside. On
    // a side parallel to an axis a point is inside on the low side (left, bottom) and outside on
    // the high side, so that of two boxes that share a side one holds it; elsewhere on the
    // boundary it may count either way. A ring of fewer than 3 points holds none.
    // CXF_RegionCmx::DefineExternal decides with it which ring holds which.
    bool Contains(double x, double y) const;

    // Set by CXF_RegionCmx::DefineExternal: 1 for an outer ring, 0 for a hole.
    int IsExternal() const { return external ? 1 : 0; }
    void SetExternal(bool value) { external = value; }

    // Empties the list as a new one is (no points, bounds 0, outer), keeping its storage.
    void Clear();
    // Points the list can hold without growing.
    size_t GetCapacity() const { return static_cast<size_t>(capacity); }

private:
    void Release();

    tagXF_POINT3DD* points = nullptr;
    int size = 0;
    int capacity = 0;
    bool ownsPoints = true;  // false while the points lie in a layer's store
    bool external = true;
    CXF_RectD bounds{0.0, 0.0, 0.0, 0.0};
};

// The point lists of a line or a polygon. Lists dropped by Resize keep their storage for lists
// added later, so that an object refilled for record after record of an import allocates nothing
// new; a copy holds only the lists in use.
class FNC_API CXF_PolygonList {
public:
    CXF_PolygonList() = default;
    CXF_PolygonList(const CXF_PolygonList& other, CXF_Arena* arena = nullptr);
    CXF_PolygonList& operator=(const CXF_PolygonList&) = delete;

    int GetSize() const { return static_cast<int>(used); }
    // Keeps the first min(old, n) lists; new lists are empty. A negative n empties it.
    void Resize(int n);
    // List i, or null outside the list.
    CXF_PolygonD* Get(int i) {
        return i >= 0 && static_cast<size_t>(i) < used ? &lists[static_cast<size_t>(i)] : nullptr;
    }
    const CXF_PolygonD* Get(int i) const {
        return i >= 0 && static_cast<size_t>(i) < used ? &lists[static_cast<size_t>(i)] : nullptr;
    }
    // Points all lists, those dropped included, can hold without growing.
    size_t GetCapacity() const;

private:
    // The first used are in use, the rest are empty.
    std::vector<CXF_PolygonD, CXF_ArenaAllocator<CXF_PolygonD>> lists;
    size_t used = 0;
};

// The rings of a polygon.
class FNC_API CXF_RegionCmx {
public:
    CXF_RegionCmx() = default;
    CXF_RegionCmx(const CXF_RegionCmx& other, CXF_Arena* arena = nullptr)
        : rings(other.rings, arena) {}

    int GetPolygonSize() const { return rings.GetSize(); }
    // Keeps the first min(old, n) rings; new rings are empty. A negative n empties it.
    void SetPolygonSize(int n);
    // Ring i, or null outside the list.
    CXF_PolygonD* GetPolygon(int i);
    const CXF_PolygonD* GetPolygon(int i) const;

    // Marks each ring outer or hole by how many other rings contain it: none or an even number
    // makes it outer (an island in a lake of an island is outer again), an odd number a hole.
    // A ring counts as inside another when its first point lies inside that ring's area (even-odd
    // rule) and its bounding box within the other's. Rings with fewer than 3 points, and rings
    // with coordinates that are not finite, contain nothing. Rings that cross each other may be
    // counted as if they did not. Updates every ring's bounding rectangle. Returns the number of
    // ring pairs it compared, which grows about as n log n for n rings that do not cross.
    std::int64_t DefineExternal();

private:
    friend class Cgeo_VectorObject;
    CXF_PolygonList rings;
};

class FNC_API Cgeo_VectorPoint {
public:
    Cgeo_VectorPoint();
    Cgeo_VectorPoint(const Cgeo_VectorPoint& other);
    // A copy whose points lie in a layer's store.
    Cgeo_VectorPoint(const Cgeo_VectorPoint& other, CXF_Arena* arena);
    Cgeo_VectorPoint& operator=(const Cgeo_VectorPoint&) = delete;
    ~Cgeo_VectorPoint();

    // Appends n points copied from p; returns the new point count.
    int AddPoints(int n, const tagXF_POINT3DD* p);
    // Replaces the points with n points copied from p, or with n points (0, 0, 0) to fill
    // through GetData when p is null. Returns n (0 for a negative n).
    int SetPoints(int n, const tagXF_POINT3DD* p);
    int GetNumPoints() const { return points.GetSize(); }
    tagXF_POINT3DD* GetData() { return points.GetData(); }

    void SetStyle(const VECTOR_POINT_STYLE* style);
    // Copies the record; the caller releases the face's style object when it is not null.
    void GetStyle(VECTOR_POINT_STYLE* style) const;

private:
    friend class Cgeo_VectorObject;
    CXF_PolygonD points;
    VECTOR_POINT_STYLE record;
};

// A polyline of one or more sections.
class FNC_API Cgeo_VectorLine {
public:
    Cgeo_VectorLine();
    Cgeo_VectorLine(const Cgeo_VectorLine& other);
    // A copy whose points lie in a layer's store.
    Cgeo_VectorLine(const Cgeo_VectorLine& other, CXF_Arena* arena);
    Cgeo_VectorLine& operator=(const Cgeo_VectorLine&) = delete;
    ~Cgeo_VectorLine();

    int GetNumSection() const { return sections.GetSize(); }
    // Keeps the first min(old, s) sections; new sections are empty.
    void SetNumSection(int s);
    // Section i, or null outside the list.
    CXF_PolygonD* GetPolygon(int section);

    // Replaces the points of a section (the section list grows to hold it) with n points copied
    // from p, or with n points (0, 0, 0) to fill through GetData when p is null. Returns 1, or 0
    // for a negative section or count.
    int SetPoints(int section, int n, const tagXF_POINT3DD* p);
    int GetNumPoints(int section) const;
    // The points of a section; null when it has none or does not exist.
    tagXF_POINT3DD* GetData(int section);

    // Replaces the line with one section along the ellipse inscribed in rect, counter-clockwise
    // from start to end. The first and last points are start and end as given; the points
    // between lie on the ellipse, at most XF_ARC_STEP_DEGREES apart in the ellipse's parametric
    // angle, with z going linearly from start.z to end.z. Start and end at the same angle give
    // the full ellipse. A box with zero width or height gives the two points start, end.
    // Returns the number of points made.
    int CreateLineFromArc(const CXF_RectD& rect, CXF_Point3DD start, CXF_Point3DD end);

    void SetStyle(const VECTOR_LINE_STYLE* style);
    void GetStyle(VECTOR_LINE_STYLE* style) const;

private:
    friend class Cgeo_VectorObject;
    CXF_PolygonList sections;
    VECTOR_LINE_STYLE record;
};

constexpr double XF_ARC_STEP_DEGREES = 5.0;

class FNC_API Cgeo_VectorPolygon {
public:
    Cgeo_VectorPolygon();
    Cgeo_VectorPolygon(const Cgeo_VectorPolygon& other);
    // A copy whose points lie in a layer's store.
    Cgeo_VectorPolygon(const Cgeo_VectorPolygon& other, CXF_Arena* arena);
    Cgeo_VectorPolygon& operator=(const Cgeo_VectorPolygon&) = delete;
    ~Cgeo_VectorPolygon();

    CXF_RegionCmx* GetRegion() { return &region; }
    // The ring count of the region (see CXF_RegionCmx).
    void SetPolygonSize(int n) { region.SetPolygonSize(n); }
    int GetPolygonSize() const { return region.GetPolygonSize(); }

    void SetStyle(const VECTOR_POLYGON_STYLE* style);
    void GetStyle(VECTOR_POLYGON_STYLE* style) const;

private:
    friend class Cgeo_VectorObject;
    CXF_RegionCmx region;
    VECTOR_POLYGON_STYLE record;
};

class FNC_API Cgeo_VectorEllipse {
public:
    Cgeo_VectorEllipse();
    Cgeo_VectorEllipse(const Cgeo_VectorEllipse& other);
    Cgeo_VectorEllipse& operator=(const Cgeo_VectorEllipse&) = delete;
    ~Cgeo_VectorEllipse();

    // The bounding rectangle: first x, first y, second x, second y, then the two z values.
    void SetRect(const tagXF_RECT3DD& rect) { box = rect; }
    const tagXF_RECT3DD& GetRect() const { return box; }

    void SetStyle(const VECTOR_ELLIPSE_STYLE* style);
    void GetStyle(VECTOR_ELLIPSE_STYLE* style) const;

private:
    friend class Cgeo_VectorObject;
    tagXF_RECT3DD box{0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    VECTOR_ELLIPSE_STYLE record;
};

// A text object: its lines are separated by CR LF.
class FNC_API Cgeo_VectorText {
public:
    Cgeo_VectorText();
    Cgeo_VectorText(const Cgeo_VectorText& other);
    Cgeo_VectorText& operator=(const Cgeo_VectorText&) = delete;
    ~Cgeo_VectorText();

    void SetText(const char* value) { text = value != nullptr ? value : ""; }
    void SetText(const std::string& value) { text = value; }
    const char* GetText() const { return text.c_str(); }
    // The anchor point: the centre of the text.
    void SetTextPoint(const CXF_Point3DD& point) { anchor = point; }
    CXF_Point3DD GetTextPoint() const { return anchor; }

    void SetStyle(const VECTOR_TEXT_STYLE* style);
    void GetStyle(VECTOR_TEXT_STYLE* style) const;

private:
    friend class Cgeo_VectorObject;
    std::string text;
    CXF_Point3DD anchor;
    VECTOR_TEXT_STYLE record;
};

// One vector object: a type and the geometry of that type.
class FNC_API Cgeo_VectorObject {
public:
    explicit Cgeo_VectorObject(int objectType);
    Cgeo_VectorObject(const Cgeo_VectorObject& other);
    Cgeo_VectorObject& operator=(const Cgeo_VectorObject&) = delete;
    ~Cgeo_VectorObject();

    int GetType() const { return type; }
    // The geometry of the object's type; null for any other.
    Cgeo_VectorPoint* GetObjPoint() { return Geometry<Cgeo_VectorPoint>(XF_OBJ_POINT); }
    Cgeo_VectorLine* GetObjLine() { return Geometry<Cgeo_VectorLine>(XF_OBJ_LINE); }
    Cgeo_VectorPolygon* GetObjPolygon() { return Geometry<Cgeo_VectorPolygon>(XF_OBJ_POLYGON); }
    Cgeo_VectorEllipse* GetObjEllipse() { return Geometry<Cgeo_VectorEllipse>(XF_OBJ_ELLIPSE); }
    Cgeo_VectorText* GetObjText() { return Geometry<Cgeo_VectorText>(XF_OBJ_TEXT); }

    // The style object of the object's style record: a new reference for the caller to release,
    // or null when the object has no style.
    CXF_StyleObject* GetStyle() const;

    // Bounding rectangle of the geometry; returns 0 when the object has no coordinates.
    int GetBounds(CXF_RectD* rect) const;

    // Frees an object made by Cgeo_Vector::CreateObject. Objects stored in a layer belong to it.
    // The layer may keep the object, emptied, to hand it out again from CreateObject.
    void DeleteObject();

    // Gives the object the set's shared style equal to its own (CXF_StyleSet::Share); the object
    // stream does this for every object it stores.
    void ShareStyle(CXF_StyleSet* set);

private:
    template <typename T>
    T* Geometry(int t) const {
        return type == t ? static_cast<T*>(geometry) : nullptr;
    }

    friend class Cgeo_Vector;
    friend class Cgeo_VectorObjectStream;
    // A copy whose points lie in the layer's store.
    Cgeo_VectorObject(const Cgeo_VectorObject& other, CXF_Arena* arena);
    // Makes the object as CreateObject makes it, keeping the storage of its points: the style
    // reference and the geometry go.
    void Clear();
    // Points the object's lists can hold without growing.
    size_t GetCapacity() const;

    int type;
    // The geometry of the type, owned; null for a type without one. One pointer, not one per
    // type: a layer may hold millions of objects.
    void* geometry = nullptr;
    // The geometry lies in the layer's store: it is destroyed, not freed, with the object.
    bool stored = false;
    // The pool of the layer that made it (CreateObject); null for a copy.
    CXF_ObjectPool* pool = nullptr;
};

// The objects of a layer by id, in chunks of 4,096 pointers taken from the layer's store: the list
// grows without copying, and leaves no outgrown copies behind in the store.
class CXF_ObjectIndex {
public:
    explicit CXF_ObjectIndex(CXF_Arena* store) : arena(store) {}
    std::size_t size() const { return count; }
    Cgeo_VectorObject*& operator[](std::size_t i) const { return chunks[i / kChunk][i % kChunk]; }
    Cgeo_VectorObject*& back() const { return (*this)[count - 1]; }
    // Appends an object; throws std::bad_alloc when there is no room.
    void push_back(Cgeo_VectorObject* object) {
        if (count % kChunk == 0 && count / kChunk == chunks.size()) {
            chunks.reserve(chunks.size() + 1);
            chunks.push_back(static_cast<Cgeo_VectorObject**>(
                CXF_ArenaAllocate(arena, kChunk * sizeof(Cgeo_VectorObject*))));
        }
        (*this)[count++] = object;
    }
    void pop_back() { --count; }

private:
    static constexpr std::size_t kChunk = 4096;
    CXF_Arena* arena;
    std::vector<Cgeo_VectorObject**> chunks;
    std::size_t count = 0;
};

// Legend (miniature) style of one kind of object, as a layer keeps it.
struct CXF_MiniatureStyle {
    CXF_StyleObject* style = nullptr;  // the layer holds a reference while set
    std::uint32_t uintValue = 0;
    int intValue = 0;
};
enum : int {
    XF_MINIATURE_LINE = 0,
    XF_MINIATURE_MARKER = 1,
    XF_MINIATURE_POLYGON = 2,
    XF_MINIATURE_TEXT = 3,
};

class Cgeo_VectorObjectStream;

// The vector contents of a layer: objects, attribute table, styles.
class FNC_API Cgeo_Vector {
public:
    Cgeo_Vector();
    ~Cgeo_Vector();
    Cgeo_Vector(const Cgeo_Vector&) = delete;
    Cgeo_Vector& operator=(const Cgeo_Vector&) = delete;

    // A new object of the type, owned by the caller (free it with DeleteObject): types 0 to 5
    // have the geometry named in the type list; any other type makes an object with none.
    Cgeo_VectorObject* CreateObject(int type);

    CXF_StyleSet* GetStyleSet() { return &styleSet; }
    Cgeo_VectorTable* GetVectorTable() { return &table; }
    // Describes the layer; its object count follows the layer.
    CXF_VectorInfo* GetVectorInfo() { return info.get(); }

    // Legend styles: the layer keeps a reference to the face's style object and the two values.
    void SetMiniatureStyleLine(CXF_StyleLine* face, std::uint32_t uintValue, int intValue);
    void SetMiniatureStyleMarker(CXF_StyleMarker* face, std::uint32_t uintValue, int intValue);
    void SetMiniatureStylePolygon(CXF_StylePolygon* face, std::uint32_t uintValue, int intValue);
    void SetMiniatureStyleText(CXF_StyleText* face, std::uint32_t uintValue, int intValue);
    // XF_MINIATURE_LINE to XF_MINIATURE_TEXT; style is null when none was set.
    const CXF_MiniatureStyle& GetMiniatureStyle(int kind) const;

    // Rebuilds the layer's spatial grid from all its objects; the stream may be null.
    void UpdateGrid(Cgeo_VectorObjectStream* stream);
    int GetUpdateGridCount() const { return gridUpdates; }
    // Bounding rectangle of all objects at the last UpdateGrid (all 0 when none had coordinates).
    const CXF_RectD& GetGridBounds() const { return gridBounds; }

    // Read-back: the objects stored through streams, in id order.
    std::int64_t GetObjectCount() const { return static_cast<std::int64_t>(objects.size()); }
    // Object id, owned by the layer, or null.
    Cgeo_VectorObject* GetObjectAt(std::int64_t id);
    const Cgeo_VectorObject* GetObjectAt(std::int64_t id) const;

private:
    friend class Cgeo_VectorObjectStream;
    friend class Cgeo_VectorTable;  // its rows lie in the layer's store too
    void SetMiniature(int kind, CXF_StyleObject* style, std::uint32_t uintValue, int intValue);

    // The stored objects and their geometry and points; it goes after them.
    std::unique_ptr<CXF_Arena> arena;
    // In the store as well.
    CXF_ObjectIndex objects;
    // Objects freed after CreateObject, kept for the next CreateObject of their type.
    CXF_ObjectPool* pool;
    CXF_StyleSet styleSet;
    Cgeo_VectorTable table;
    std::unique_ptr<CXF_VectorInfo> info;
    CXF_MiniatureStyle miniatures[4];
    int gridUpdates = 0;
    CXF_RectD gridBounds{0.0, 0.0, 0.0, 0.0};
    // Bounds of the objects as they were added, so that UpdateGrid need not visit every point
    // again. They hold until an object is handed out for changing; from then on UpdateGrid
    // measures every object.
    CXF_RectD addedBounds{0.0, 0.0, 0.0, 0.0};
    bool addedAny = false;
    bool handedOut = false;
};

// Stream modes.
enum : int {
    XF_STREAM_READ = 1,
    XF_STREAM_WRITE = 2,  // reads too
};

// Access to the objects of a layer.
class FNC_API Cgeo_VectorObjectStream {
public:
    Cgeo_VectorObjectStream() = default;
    // Same as Open(vector, mode).
    Cgeo_VectorObjectStream(Cgeo_Vector* vector, int mode);
    ~Cgeo_VectorObjectStream() = default;
    Cgeo_VectorObjectStream(const Cgeo_VectorObjectStream&) = delete;
    Cgeo_VectorObjectStream& operator=(const Cgeo_VectorObjectStream&) = delete;

    // Opens on the layer's objects with XF_STREAM_READ or XF_STREAM_WRITE; returns 1, or 0 for a
    // null layer or another mode (the stream then stays closed).
    int Open(Cgeo_Vector* vector, int mode);
    void Close();
    int IsOpen() const { return target != nullptr ? 1 : 0; }

    // Stores a copy of the object at the end of the layer and returns its id: 0, 1, 2, ... in
    // order, the row of its attribute values. Returns -1 (nothing stored) when the stream is not
    // open for writing or the object is null. flags: none defined, pass 0.
    std::int64_t AddObject(const Cgeo_VectorObject* object, int flags);

    // Object id, owned by the layer, or null when there is none or the stream is closed. When
    // given, bounds receives the object's bounding rectangle and type its type.
    Cgeo_VectorObject* GetVectorObject(std::int64_t id, CXF_RectD* bounds, int* type);

private:
    Cgeo_Vector* target = nullptr;
    int openMode = 0;
};
