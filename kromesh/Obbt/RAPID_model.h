// OBB tree over one triangle set, and the tree-against-tree collision query.
//
// A RAPID_model stores triangles as plain double[3] points, builds a binary
// hierarchy of oriented bounding boxes over them (up to OBBT_LEAF_TRIS
// triangles per leaf, every inner box with two children), and answers
// CollideModels: which triangle pairs of two placed models overlap. The
// pairs go to the calling thread's contact list, read with ObbtContactCount
// / ObbtContacts, sorted by (id1, id2): the list does not depend on the
// shape of the trees or on the number of threads.
//
// Builds and queries keep no shared state: different threads may build and
// query at the same time (a built model may be queried by several threads at
// once; a model being built belongs to one thread). Large queries spread
// their walk over several threads (SetObbtThreadCount) with the same result
// as one thread. Destroying ANY RAPID_model empties the
// calling thread's contact list, so copy the pairs out right after a query.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <cstddef>
#include <cstdint>

/// Status codes of the tree core (0 is success, unlike the rest of the
/// library).
enum : int {
  OBBT_OK = 0,
  OBBT_NO_MEMORY = 1,          // a build buffer or the triangle array could not grow
  OBBT_NO_CONTACT_MEMORY = 2,  // the contact list (or the query's work stack) could not grow
  OBBT_NOT_BUILT = 3,          // a model given to the query is null or not built
  OBBT_WRONG_ORDER = 4,        // member called in a state that does not allow it
  OBBT_EMPTY = 5,              // FinishModel on a model without triangles
  OBBT_TOO_MANY_TRIS = 6,      // the model already holds OBBT_MAX_TRIS triangles
  OBBT_BAD_ID = 7,             // a triangle id outside the 32-bit signed range
  OBBT_NULL_ARGUMENT = 8,      // a null point given to AppendTri
};

/// Build states (the values are fixed; 2 is unused).
enum : int32_t {
  OBBT_STATE_NEW = 0,
  OBBT_STATE_BUILDING = 1,
  OBBT_STATE_BUILT = 3,
};

/// Flags of the collision query; any other value acts as OBBT_ALL_CONTACTS.
enum : int {
  OBBT_ALL_CONTACTS = 1,
  OBBT_FIRST_CONTACT = 2,
};

/// Largest number of triangles one model takes: the box pool holds twice the
/// triangle count in a 32-bit signed counter.
constexpr int32_t OBBT_MAX_TRIS = INT32_MAX / 2;

/// Largest number of triangles in one leaf of the tree.
constexpr int32_t OBBT_LEAF_TRIS = 32;

/// One node of the tree (64 bytes). Boxes are kept in floats in the model's
/// frame, their centres taken from the model's origin (the middle of its
/// axis-aligned box), and widened when rounded so that every box still holds
/// all of its triangles. rot is row-major; column k is the box's k-th axis,
/// column 0 the major (split) axis.
struct ObbNode {
  float rot[3][3];
  float pos[3];      // centre, from the model's origin
  float halfExt[3];  // half-extents along the three axes
  int32_t child;     // inner node: first child (the second is child + 1);
                     // leaf: first of its entries in the leaf order
  int32_t count;     // leaf: its number of triangles (1 .. OBBT_LEAF_TRIS); 0 inner

  bool IsLeaf() const { return count > 0; }
};
static_assert(sizeof(ObbNode) == 68, "nine, three and three floats, two 32-bit integers");

/// One colliding pair: the ids (as given to AppendTri) of a triangle of the
/// first and of the second model. Exactly two 32-bit integers, so a run of
/// pairs can be copied as one block.
struct ContactPair {
  int32_t id1;
  int32_t id2;
};
static_assert(sizeof(ContactPair) == 8, "two 32-bit ids, nothing else");

/// One triangle set and its OBB tree. Calling order: ResetModel, AppendTri
/// (or AttachMesh), FinishModel, then queries. The model owns copies of the
/// corners given to AppendTri and its nodes; a mesh given to AttachMesh is
/// read in place, not copied. It cannot be copied.
///
/// The tree: each box is fitted to the principal axes of its triangles'
/// area-weighted second moments; a box of more than OBBT_LEAF_TRIS
/// triangles splits them at their mean along its major axis; a box of one
/// triangle lies along its longest edge and its normal. About 0.09 nodes
/// per triangle: nodes and leaf order take about 10 bytes per triangle,
/// besides the corners (72 bytes per triangle given to AppendTri, none for
/// an attached mesh).
class RAPID_model {
 public:
  /// An empty model in state OBBT_STATE_NEW.
  RAPID_model() = default;
  /// Frees everything, and empties the calling thread's contact list.
  ~RAPID_model();
  RAPID_model(const RAPID_model&) = delete;
  RAPID_model& operator=(const RAPID_model&) = delete;

  /// Frees nodes and triangles, zeroes the counts and enters the building
  /// state. Returns OBBT_WRONG_ORDER when the model was already building
  /// (the reset happens anyway), else OBBT_OK.
  int ResetModel();

  /// Appends triangle (p1, p2, p3) (three doubles each, copied) with the
  /// caller's id. Returns OBBT_OK; OBBT_WRONG_ORDER on a built model;
  /// OBBT_NULL_ARGUMENT for a null point; OBBT_BAD_ID for an id outside the
  /// 32-bit signed range; OBBT_TOO_MANY_TRIS at the triangle limit;
  /// OBBT_NO_MEMORY when the arrays cannot grow. Nothing is added on failure.
  int AppendTri(const double* p1, const double* p2, const double* p3, long id);

  /// Takes a vertex-buffer mesh as the model's triangles WITHOUT copying
  /// it: xyz holds nVerts points (three doubles each), corners three 0-based
  /// vertex indices per triangle; triangle k gets id k. The model reads both
  /// buffers in place until it is reset or destroyed, so the caller keeps
  /// them alive and unchanged that long, or hands their owner over with
  /// KeepAlive. Only on an empty model in the building state, and nothing
  /// can be appended after it. Returns OBBT_OK; OBBT_WRONG_ORDER on a built
  /// or non-empty model; OBBT_NULL_ARGUMENT for null buffers; OBBT_BAD_ID
  /// for a corner outside 0 .. nVerts-1 or a point count outside the 32-bit
  /// range; OBBT_TOO_MANY_TRIS past the triangle limit. Nothing is taken on
  /// failure. An empty mesh (nTris <= 0) is OBBT_OK and takes nothing.
  int AttachMesh(const double* xyz, long nVerts, const long* corners, long nTris);
  /// The points of the mesh taken by AttachMesh (null when the model holds
  /// its own copies).
  const double* AttachedPoints() const { return tris_ ? pts_ : nullptr; }
  /// Keeps owner alive until the model is reset or destroyed: the owner of
  /// the buffers given to AttachMesh, handed over when their first owner
  /// goes while the model is still in use.
  void KeepAlive(std::shared_ptr<const void> owner) { keeper_ = std::move(owner); }

  /// Makes room for n triangles in all (a hint: AppendTri grows the arrays
  /// anyway). OBBT_OK; OBBT_NO_MEMORY (nothing changed) when it cannot.
  int ReserveTris(long n);

  /// Builds the tree. OBBT_OK (state becomes OBBT_STATE_BUILT);
  /// OBBT_EMPTY without triangles; OBBT_NO_MEMORY when a build buffer cannot
  /// be allocated (the model stays unbuilt). On a built model it returns
  /// OBBT_OK and keeps the current tree (its triangles cannot have changed).
  /// Raises a warning (KroWarning) when some triangles have zero area.
  int FinishModel();

  /// Copies p1, p2, p3 of the triangle at insertion position index into
  /// out[0..8]. Returns 1; -1 for a null out or an index outside
  /// 0 .. GetTriCount()-1.
  int GetTriVertices(double out[9], long index) const;
  /// The id of the triangle at insertion position index; -1 when out of
  /// range (check the range: -1 is also a valid id).
  int32_t GetTriId(long index) const;

  /// Copies the root box, fitted in doubles to the principal axes of all
  /// triangles: centre and half-extents (model coordinates) and the
  /// row-major rotation whose columns are the box axes. Returns 1; -1 for a
  /// null pointer or a model that is not built (nothing written).
  int GetRootObb(double centre[3], double halfExt[3], double rot[9]) const;

  /// Number of triangles added.
  long GetTriCount() const { return triCount_; }
  /// OBBT_STATE_NEW, OBBT_STATE_BUILDING or OBBT_STATE_BUILT.
  int32_t GetBuildState() const { return buildState_; }
  bool IsBuilt() const { return buildState_ == OBBT_STATE_BUILT && !nodes_.empty(); }

  /// The tree, node 0 the root (empty until built), with the model's origin
  /// and the insertion positions of the leaves' triangles (a leaf's entries
  /// are LeafOrder()[child .. child + count - 1]). For the query and tests.
  const std::vector<ObbNode>& Nodes() const { return nodes_; }
  const std::vector<int32_t>& LeafOrder() const { return order_; }
  const double* Origin() const { return origin_; }
  /// Corner k (0..2) of the triangle at insertion position i, unchecked.
  const double* Corner(int32_t i, int k) const {
    return tris_ ? pts_ + 3 * size_t(tris_[3 * size_t(i) + k])
                 : pts_ + 9 * size_t(i) + 3 * size_t(k);
  }
  int32_t Id(int32_t i) const { return ids_.empty() ? i : ids_[size_t(i)]; }

 private:
  void FreeStorage();

  std::vector<double> xyz_;             // AppendTri's corners, nine doubles per triangle
  const double* pts_ = nullptr;         // the points read: xyz_, or the attached mesh's
  const long* tris_ = nullptr;          // the attached mesh's corner indices; null for xyz_
  long ptsCount_ = 0;                   // points at pts_
  std::shared_ptr<const void> keeper_;  // owner of the attached buffers, once handed over
  std::vector<int32_t> ids_;            // the caller's id per triangle; empty while every
                                        // id is the triangle's position
  std::vector<int32_t> order_;          // insertion positions in leaf order
  std::vector<ObbNode> nodes_;
  double origin_[3] = {0, 0, 0};
  double rootRot_[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  double rootPos_[3] = {0, 0, 0};
  double rootHalf_[3] = {0, 0, 0};
  int32_t triCount_ = 0;
  int32_t buildState_ = OBBT_STATE_NEW;
};

/// Collides model1 placed at s1*R1*x + T1 with model2 placed at s2*R2*x + T2
/// (R row-major rotations, s positive scales; a null R counts as the
/// identity, a null T as zero). Collects every overlapping triangle pair into
/// the calling thread's contact list (emptied first), or stops after the first
/// with OBBT_FIRST_CONTACT. Touching triangles count as overlapping.
/// Returns OBBT_OK; OBBT_NOT_BUILT when a model is null or not built (the
/// list is left untouched); OBBT_NO_CONTACT_MEMORY when the list cannot grow
/// (the pairs found so far stay readable).
int CollideModels(const double R1[3][3], const double T1[3], double s1, const RAPID_model* model1,
                  const double R2[3][3], const double T2[3], double s2, const RAPID_model* model2,
                  int flag = OBBT_ALL_CONTACTS);

/// CollideModels with both models in place (identity, zero, unit scale).
int CollideModelsInPlace(const RAPID_model* model1, const RAPID_model* model2,
                         int flag = OBBT_ALL_CONTACTS);

/// Number of pairs in the calling thread's contact list: those of its last
/// query, 0 before the first and after it destroyed any RAPID_model.
long ObbtContactCount();

/// The calling thread's contact list (ObbtContactCount() pairs; null when
/// empty). Valid until the thread's next query or until it destroys any
/// RAPID_model.
const ContactPair* ObbtContacts();

/// Threads one collision query may use, library-wide: 0 (the default) for
/// every core, 1 for the calling thread only; negative counts as 0. The
/// result of a query does not depend on it.
void SetObbtThreadCount(int threads);
/// The number of threads a query uses now (every core resolved).
int GetObbtThreadCount();
/// Runs work on the calling thread and on up to threads - 1 helper threads
/// at once and returns when every copy has returned; work shares its tasks
/// out itself (e.g. through an atomic counter). When a helper cannot be
/// started, the threads already running take its share.
void RunOnObbtThreads(int threads, const std::function<void()>& work);
