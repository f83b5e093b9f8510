// OBB tree over one triangle set, and the tree-against-tree collision query.
//
// A RAPID_model stores triangles as plain double[3] points, builds a binary
// hierarchy of oriented bounding boxes over them (one triangle per leaf,
// every inner box with two children, child boxes stored relative to their
// parent), and answers CollideModels: which triangle pairs of two placed
// models overlap. The pairs go to the calling thread's contact list, read
// with ObbtContactCount / ObbtContacts.
//
// Builds and queries keep no shared state: different threads may build and
// query at the same time (a built model may be queried by several threads at
// once; a model being built belongs to one thread). Large queries spread
// their walk over several threads (SetObbtThreadCount) with the same result
// as one thread, order included. Destroying ANY RAPID_model empties the
// calling thread's contact list, so copy the pairs out right after a query.
#pragma once

#include <functional>

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

/// One triangle as added: the caller's id, then its three corners.
struct ObbTri {
  int32_t id;
  double p1[3];
  double p2[3];
  double p3[3];
};

/// One node of the tree. rot is row-major; column k is the box's k-th axis in
/// the parent box's frame (the root's: model coordinates), column 0 being the
/// major (split) axis. pos is the centre in the same frame. A leaf has both
/// children null and tri set; an inner box has both children and tri unset.
struct ObbBox {
  double rot[3][3];
  double pos[3];
  double halfExt[3];
  ObbBox* child1;
  ObbBox* child2;
  ObbTri* tri;

  bool IsLeaf() const { return child1 == nullptr && child2 == nullptr; }
};

/// One colliding pair: the ids (as given to AppendTri) of a triangle of the
/// first and of the second model. Exactly two 32-bit integers, so a run of
/// pairs can be copied as one block.
struct ContactPair {
  int32_t id1;
  int32_t id2;
};
static_assert(sizeof(ContactPair) == 8, "two 32-bit ids, nothing else");

/// One triangle set and its OBB tree. Calling order: ResetModel, AppendTri
/// once per triangle, FinishModel, then queries. The model owns its boxes and
/// triangles; it cannot be copied (the boxes point into its own arrays).
class RAPID_model {
 public:
  ObbBox* boxes = nullptr;     // box pool, element 0 the root; null until built
  int32_t boxesAllocated = 0;  // boxes in the pool: twice the triangle count
  ObbTri* tris = nullptr;      // triangles in insertion order
  int32_t triCount = 0;        // triangles added
  int32_t trisAllocated = 0;   // capacity of tris
  int32_t buildState = OBBT_STATE_NEW;

  /// An empty model in state OBBT_STATE_NEW.
  RAPID_model() = default;
  /// Frees boxes and triangles, and empties the calling thread's contact
  /// list.
  ~RAPID_model();
  RAPID_model(const RAPID_model&) = delete;
  RAPID_model& operator=(const RAPID_model&) = delete;

  /// Frees boxes and triangles, zeroes the counts and enters the building
  /// state. Returns OBBT_WRONG_ORDER when the model was already building
  /// (the reset happens anyway), else OBBT_OK.
  int ResetModel();

  /// Appends triangle (p1, p2, p3) (three doubles each, copied) with the
  /// caller's id. Returns OBBT_OK; OBBT_WRONG_ORDER on a built model;
  /// OBBT_NULL_ARGUMENT for a null point; OBBT_BAD_ID for an id outside the
  /// 32-bit signed range; OBBT_TOO_MANY_TRIS at OBBT_MAX_TRIS triangles;
  /// OBBT_NO_MEMORY when the array cannot grow. Nothing is added on failure.
  int AppendTri(const double* p1, const double* p2, const double* p3, long id);

  /// Makes room for n triangles in all (a hint: AppendTri grows the array
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

  /// Copies the root box: centre and half-extents (model coordinates) and the
  /// row-major rotation whose columns are the box axes. Returns 1; -1 for a
  /// null pointer or a model that is not built (nothing written).
  int GetRootObb(double centre[3], double halfExt[3], double rot[9]) const;

  /// Number of triangles added.
  long GetTriCount() const { return triCount; }

 private:
  void FreeStorage();
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
