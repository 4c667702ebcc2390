// asc.cpp -- the ASCII mesh reader: counts, vertices and triangles by keyword,
// then face normals, averaged vertex normals and the load-time sphere-map u/v.
#include "assets.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int token_size = 256;

// The whole record is large; the reader fills a zeroed one and returns it.
// Vertex-normal sums are gathered here per vertex.
struct NormalSum {
    double x, y, z;
    int faces;
};
NormalSum normal_sums[max_vertices];

// Reads tokens until one equals `keyword`. False when the file ends first.
bool seek_keyword(char* token, std::FILE* file, const char* keyword)
{
    for (;;) {
        read_token(token, file);
        if (token[0] == '\0') return false;  // only an ended stream gives an empty token
        if (std::strcmp(token, keyword) == 0) return true;
    }
}

// Reads tokens until one begins with `prefix` (two characters). False at the end.
bool seek_prefix(char* token, std::FILE* file, const char* prefix)
{
    for (;;) {
        read_token(token, file);
        if (token[0] == '\0') return false;
        if (token[0] == prefix[0] && token[1] == prefix[1]) return true;
    }
}

// Decimal integer as atol reads it, saturated instead of undefined when too long.
long parse_integer(const char* text)
{
    return std::strtol(text, nullptr, 10);
}

int parse_count(const char* text, int limit)
{
    const long n = parse_integer(text);
    return n < 0 ? 0 : (n > limit ? limit : static_cast<int>(n));
}

// A double as the nearest float; beyond the float range it becomes an infinity
// (explicitly, since the plain conversion is not defined there).
float to_float(double d)
{
    if (d > FLT_MAX) return HUGE_VALF;
    if (d < -FLT_MAX) return -HUGE_VALF;
    return static_cast<float>(d);
}

// The keyword's value token as a number; false when the file ended instead.
bool read_coordinate(char* token, std::FILE* file, const char* keyword, float& value)
{
    if (!seek_keyword(token, file, keyword)) return false;
    read_token(token, file);
    if (token[0] == '\0') return false;
    value = to_float(std::strtod(token, nullptr));
    return true;
}

// A corner index joined to its keyword ("A:12"); false at the end of the file.
bool read_corner(char* token, std::FILE* file, const char* prefix, long& index)
{
    if (!seek_prefix(token, file, prefix)) return false;
    index = parse_integer(token + 2);
    return true;
}

bool finite3(double x, double y, double z)
{
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
}

// (x, y, z) divided by its length; (0, 0, 0) when the length is zero or the
// vector is not finite, so later steps always see finite numbers.
void normalise(double& x, double& y, double& z)
{
    const double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0.0) || !std::isfinite(length) || !finite3(x, y, z)) {
        x = y = z = 0.0;
        return;
    }
    x /= length;
    y /= length;
    z /= length;
}

// The low 8 bits of trunc(128 - 128 n), for any n (NaN and infinities saturate).
std::uint8_t sphere_coordinate(float n)
{
    double value = 128.0 - 128.0 * static_cast<double>(n);
    if (!(value > -1.0e9)) value = -1.0e9;  // also NaN
    if (value > 1.0e9) value = 1.0e9;
    return static_cast<std::uint8_t>(static_cast<std::int32_t>(value) & 255);
}

void compute_face_normals(Mesh& mesh)
{
    for (int j = 0; j < mesh.face_count; ++j) {
        Face& f = mesh.faces[j];
        const Vertex& a = mesh.vertices[f.a];
        const Vertex& b = mesh.vertices[f.b];
        const Vertex& c = mesh.vertices[f.c];
        const double ax = a.x, ay = a.y, az = a.z, bx = b.x, by = b.y, bz = b.z, cx = c.x, cy = c.y, cz = c.z;
        double nx = (ay - by) * (az - cz) - (ay - cy) * (az - bz);  // (A - B) x (A - C)
        double ny = (ax - cx) * (az - bz) - (ax - bx) * (az - cz);
        double nz = (ax - bx) * (ay - cy) - (ax - cx) * (ay - by);
        normalise(nx, ny, nz);
        f.nx = static_cast<float>(nx);
        f.ny = static_cast<float>(ny);
        f.nz = static_cast<float>(nz);
    }
}

// Each vertex: the mean of the unit normals of the faces that use it (a face once,
// whatever corners name it), then made unit length. Faces are summed in stored
// order, as a scan of all faces per vertex would.
void compute_vertex_normals(Mesh& mesh)
{
    for (int i = 0; i < mesh.vertex_count; ++i) normal_sums[i] = NormalSum{0.0, 0.0, 0.0, 0};
    for (int j = 0; j < mesh.face_count; ++j) {
        const Face& f = mesh.faces[j];
        const int corners[3] = {f.a, f.b, f.c};
        for (int k = 0; k < 3; ++k) {
            if ((k >= 1 && corners[k] == corners[0]) || (k == 2 && corners[2] == corners[1])) continue;
            NormalSum& s = normal_sums[corners[k]];
            s.x += f.nx;
            s.y += f.ny;
            s.z += f.nz;
            ++s.faces;
        }
    }
    for (int i = 0; i < mesh.vertex_count; ++i) {
        NormalSum s = normal_sums[i];
        if (s.faces > 0) {
            s.x /= s.faces;
            s.y /= s.faces;
            s.z /= s.faces;
        }
        normalise(s.x, s.y, s.z);
        mesh.vertices[i].nx = static_cast<float>(s.x);
        mesh.vertices[i].ny = static_cast<float>(s.y);
        mesh.vertices[i].nz = static_cast<float>(s.z);
    }
}

void compute_corner_coordinates(Mesh& mesh)
{
    for (int j = 0; j < mesh.face_count; ++j) {
        Face& f = mesh.faces[j];
        const Vertex& a = mesh.vertices[f.a];
        const Vertex& b = mesh.vertices[f.b];
        const Vertex& c = mesh.vertices[f.c];
        f.u_a = sphere_coordinate(a.nx);
        f.v_a = sphere_coordinate(a.ny);
        f.u_b = sphere_coordinate(b.nx);
        f.v_b = sphere_coordinate(b.ny);
        f.u_c = sphere_coordinate(c.nx);
        f.v_c = sphere_coordinate(c.ny);
    }
}

// Counts, vertices and faces as far as the file holds them.
void read_geometry(std::FILE* file, Mesh& mesh)
{
    char token[token_size];
    if (!seek_keyword(token, file, "Vertices:")) return;
    const int vertex_count = parse_count(read_token(token, file), max_vertices);
    if (!seek_keyword(token, file, "Faces:")) return;
    const int face_count = parse_count(read_token(token, file), max_faces);
    read_token(token, file);  // the word after the face count ("Vertex" of "Vertex list:")

    for (int i = 0; i < vertex_count; ++i) {
        Vertex& v = mesh.vertices[i];
        if (!read_coordinate(token, file, "X:", v.x) || !read_coordinate(token, file, "Y:", v.y) ||
            !read_coordinate(token, file, "Z:", v.z)) {
            v = Vertex{};
            return;
        }
        mesh.vertex_count = i + 1;
    }
    for (int j = 0; j < face_count; ++j) {
        long a = 0, b = 0, c = 0;
        if (!read_corner(token, file, "A:", a) || !read_corner(token, file, "B:", b) ||
            !read_corner(token, file, "C:", c))
            return;
        // A face naming a vertex the mesh does not have is dropped.
        if (a < 0 || a >= mesh.vertex_count || b < 0 || b >= mesh.vertex_count || c < 0 || c >= mesh.vertex_count)
            continue;
        Face& f = mesh.faces[mesh.face_count++];
        f.a = static_cast<std::int32_t>(a);
        f.b = static_cast<std::int32_t>(b);
        f.c = static_cast<std::int32_t>(c);
    }
}

}  // namespace

char* read_token(char* buffer, std::FILE* file)
{
    int length = 0;
    for (;;) {
        const int byte = std::getc(file);
        if (byte == EOF) break;
        if (byte <= 32) {
            if (length > 0) break;  // the separator after the token is consumed
            continue;
        }
        if (length < token_size - 1) buffer[length++] = static_cast<char>(byte);
    }
    buffer[length] = '\0';
    return buffer;
}

Mesh load_asc(const char* path, int offset_x, int offset_y, int offset_z)
{
    Mesh mesh{};
    mesh.offset_x = static_cast<float>(offset_x);
    mesh.offset_y = static_cast<float>(offset_y);
    mesh.offset_z = static_cast<float>(offset_z);
    std::FILE* file = open_data_file(path, "rt");
    if (file == nullptr) return mesh;
    read_geometry(file, mesh);
    std::fclose(file);
    compute_face_normals(mesh);
    compute_vertex_normals(mesh);
    compute_corner_coordinates(mesh);
    return mesh;
}

void load_mesh(Mesh& mesh, const char* path, int offset_x, int offset_y, int offset_z, std::uint8_t mode,
               const std::uint32_t* texture)
{
    mesh = load_asc(path, offset_x, offset_y, offset_z);
    mesh.mode = mode;
    mesh.texture = texture;
}
