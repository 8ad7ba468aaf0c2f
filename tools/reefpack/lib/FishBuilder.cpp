// Procedural fish geometry: lofted body, fins and eyes, each vertex on one joint.
#include "FishBuilder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "SkinLayout.h"

namespace reefpack {
namespace {

constexpr float kPi = 3.14159265358979f;

struct V3 {
    float x = 0, y = 0, z = 0;
};
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, float k) { return {a.x * k, a.y * k, a.z * k}; }
float Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V3 Normalize(V3 a) {
    float l = std::sqrt(Dot(a, a));
    return l > 1e-12f ? a * (1.0f / l) : V3{0, 1, 0};
}

float Clamp(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

struct Uv {
    float s = 0, t = 0;
};
// Texel position (x right, y down from the top row) to MS3D coordinates; the engine
// draws t flipped and the skin is stored bottom row first, so t counts rows from the top.
Uv Texel(float x, float y) { return {x / kSkinSize, y / kSkinSize}; }
Uv InRect(const SkinRect& r, float p, float q) {
    float w = static_cast<float>(r.x1 - r.x0 - 2 * kSkinInset);
    float h = static_cast<float>(r.y1 - r.y0 - 2 * kSkinInset);
    return Texel(r.x0 + kSkinInset + Clamp(p) * w, r.y0 + kSkinInset + Clamp(q) * h);
}
// Heights sampled evenly: linear interpolation between stations.
float SampleStations(const std::vector<float>& v, float t) {
    if (v.empty()) return 0;
    if (v.size() == 1) return v[0];
    float f = std::clamp(t, 0.0f, 1.0f) * (v.size() - 1);
    size_t i = std::min(static_cast<size_t>(f), v.size() - 2);
    float k = f - i;
    // Smooth the stations a little so fin edges curve instead of kinking.
    k = k * k * (3 - 2 * k) * 0.5f + k * 0.5f;
    return v[i] + (v[i + 1] - v[i]) * k;
}

class Builder {
public:
    Builder(const SpeciesDesc& d, Ms3dModelDesc* m, FishRig* rig) : d_(d), m_(*m), rig_(*rig) {}

    void Build() {
        m_ = Ms3dModelDesc();
        rig_ = FishRig();
        BuildSkeleton();
        bodyGroup_ = AddGroup("body");
        finGroup_ = AddGroup("fins");
        eyeGroup_ = AddGroup("eyes");
        BuildBody();
        if (d_.dorsal.present) MedianFinMesh(d_.dorsal, +1, FinKind::Dorsal);
        if (d_.dorsal2.present) MedianFinMesh(d_.dorsal2, +1, FinKind::Dorsal);
        if (d_.anal.present) MedianFinMesh(d_.anal, -1, FinKind::Anal);
        if (d_.tail.splayDeg != 0) {
            TailMesh(d_.tail.splayDeg);
            TailMesh(-d_.tail.splayDeg);
        } else {
            TailMesh(0);
        }
        if (d_.pectoral.present) {
            PaddleMesh(d_.pectoral, +1, rig_.pectLeft);
            PaddleMesh(d_.pectoral, -1, rig_.pectRight);
        }
        if (d_.pelvic.present) {
            int j = JointForS(d_.pelvic.s);
            PaddleMesh(d_.pelvic, +1, j);
            PaddleMesh(d_.pelvic, -1, j);
        }
        EyeMesh(+1, rig_.eyeLeft);
        EyeMesh(-1, rig_.eyeRight);
        SmoothBodyNormals();
        Centre();
        FinishJoints();
        Ms3dMaterialDesc mat;
        mat.name = "skin";
        mat.texture = "skin.tga";
        for (int k = 0; k < 3; ++k) {
            mat.ambient[k] = 0.6f;
            mat.diffuse[k] = 1.0f;
            mat.specular[k] = 0.25f;
        }
        mat.shininess = 20;
        m_.materials.push_back(mat);
    }

private:
    float Z(float s) const { return -s * d_.bodyLength; }
    ProfilePoint P(float s) const { return SampleProfile(d_.profile, s); }
    V3 Surface(float s, float aroundRad, float side) const {
        ProfilePoint p = P(s);
        return {side * p.halfWidth * std::sin(aroundRad), p.centreY + p.halfHeight * std::cos(aroundRad), Z(s)};
    }

    int AddGroup(const char* name) {
        Ms3dGroupDesc g;
        g.name = name;
        g.materialIndex = 0;
        m_.groups.push_back(g);
        return static_cast<int>(m_.groups.size()) - 1;
    }

    int AddJoint(const char* name, int parent, V3 abs) {
        Ms3dJointDesc j;
        j.name = name;
        if (parent >= 0) j.parentName = m_.joints[parent].name;
        m_.joints.push_back(j);
        jointAbs_.push_back(abs);
        parents_.push_back(parent);
        return static_cast<int>(m_.joints.size()) - 1;
    }

    void BuildSkeleton() {
        int n = std::max(2, d_.spineJoints);
        spineS_.clear();
        spineS_.push_back(d_.headJointS);
        for (int k = 1; k <= n; ++k) spineS_.push_back(d_.headJointS + (d_.lastJointS - d_.headJointS) * k / n);
        auto axis = [&](float s) { return V3{0, P(s).centreY, Z(s)}; };
        int head = AddJoint("head", -1, axis(spineS_[0]));
        rig_.spine.push_back(head);
        rig_.mouth = AddJoint("mouth", head, axis(0));
        V3 eyeL = EyeCentre(+1), eyeR = EyeCentre(-1);
        rig_.eyeLeft = AddJoint("eyel", head, eyeL);
        rig_.eyeRight = AddJoint("eyer", head, eyeR);
        if (d_.pectoral.present) {
            float a = d_.pectoral.aroundDeg * kPi / 180;
            rig_.pectLeft = AddJoint("pectl", head, Surface(d_.pectoral.s, a, +1));
            rig_.pectRight = AddJoint("pectr", head, Surface(d_.pectoral.s, a, -1));
        }
        int parent = head;
        char name[16];
        for (int k = 1; k <= n; ++k) {
            std::snprintf(name, sizeof name, "spine%d", k);
            parent = AddJoint(name, parent, axis(spineS_[k]));
            rig_.spine.push_back(parent);
        }
        rig_.caudal = AddJoint("caudal", parent, axis(1.0f));
    }

    int JointForS(float s) const {
        size_t k = 0;
        while (k + 1 < spineS_.size() && s >= spineS_[k + 1]) ++k;
        return rig_.spine[k];
    }

    V3 EyeCentre(float side) const {
        float a = d_.eyeAroundDeg * kPi / 180;
        V3 p = Surface(d_.eyeS, a, side);
        float x = std::max(std::fabs(p.x) - 0.3f * d_.eyeRadius, 0.5f * d_.eyeRadius);
        return {side * x, p.y, p.z};
    }

    int Vertex(V3 p, int joint) {
        Ms3dVertexDesc v;
        v.position[0] = p.x;
        v.position[1] = p.y;
        v.position[2] = p.z;
        v.boneId = static_cast<int8_t>(joint);
        m_.vertices.push_back(v);
        return static_cast<int>(m_.vertices.size()) - 1;
    }
    V3 Pos(int v) const {
        const auto& p = m_.vertices[v].position;
        return {p[0], p[1], p[2]};
    }

    // One triangle, wound so that its front faces `outward`; n null: flat normal.
    void Tri(int a, int b, int c, Uv ua, Uv ub, Uv uc, int group, V3 outward, const V3* n = nullptr) {
        V3 face = Cross(Pos(b) - Pos(a), Pos(c) - Pos(a));
        if (Dot(face, outward) < 0) {
            std::swap(b, c);
            std::swap(ub, uc);
        }
        Ms3dTriangleDesc t;
        int idx[3] = {a, b, c};
        Uv uv[3] = {ua, ub, uc};
        V3 flat = Normalize(outward);
        for (int k = 0; k < 3; ++k) {
            t.vertexIndices[k] = static_cast<uint16_t>(idx[k]);
            V3 nn = n ? n[k] : flat;
            t.normals[k][0] = nn.x;
            t.normals[k][1] = nn.y;
            t.normals[k][2] = nn.z;
            t.s[k] = uv[k].s;
            t.t[k] = uv[k].t;
        }
        t.groupIndex = static_cast<uint8_t>(group);
        t.smoothingGroup = group == bodyGroup_ ? 1 : 0;
        m_.groups[group].triangleIndices.push_back(static_cast<uint16_t>(m_.triangles.size()));
        m_.triangles.push_back(t);
    }
    // Both faces of a thin fin.
    void TwoSided(int a, int b, int c, Uv ua, Uv ub, Uv uc, V3 normal) {
        Tri(a, b, c, ua, ub, uc, finGroup_, normal);
        Tri(a, b, c, ua, ub, uc, finGroup_, normal * -1.0f);
    }

    void BuildBody() {
        const int around = 16;
        int rings = std::clamp(static_cast<int>(std::lround(d_.bodyLength * 2.2f)), 18, 34);
        auto bodyUv = [&](float s, float frac) { return InRect(kBodyRect, s, frac); };
        int apex = Vertex({0, P(0).centreY, Z(0)}, rig_.mouth);
        std::vector<int> prev;
        float prevS = 0;
        for (int r = 1; r <= rings; ++r) {
            float u = static_cast<float>(r) / rings;
            float s = 0.5f * std::pow(u, 1.6f) + 0.5f * u;
            std::vector<int> ring;
            int joint = JointForS(s);
            for (int m = 0; m < around; ++m) ring.push_back(Vertex(Surface(s, 2 * kPi * m / around, 1), joint));
            for (int m = 0; m < around; ++m) {
                int m1 = (m + 1) % around;
                float f0 = static_cast<float>(m) / around, f1 = static_cast<float>(m + 1) / around;
                if (r == 1) {
                    V3 out = Pos(ring[m]) + Pos(ring[m1]) - Pos(apex) * 2.0f;
                    Tri(apex, ring[m], ring[m1], bodyUv(0, (f0 + f1) / 2), bodyUv(s, f0), bodyUv(s, f1), bodyGroup_,
                        out);
                } else {
                    V3 mid = (Pos(prev[m]) + Pos(ring[m1])) * 0.5f;
                    V3 axis{0, P((s + prevS) / 2).centreY, mid.z};
                    V3 out = mid - axis;
                    Tri(prev[m], ring[m], prev[m1], bodyUv(prevS, f0), bodyUv(s, f0), bodyUv(prevS, f1), bodyGroup_,
                        out);
                    Tri(prev[m1], ring[m], ring[m1], bodyUv(prevS, f1), bodyUv(s, f0), bodyUv(s, f1), bodyGroup_, out);
                }
            }
            prev = ring;
            prevS = s;
        }
        // Close the tail end behind the last ring.
        int tip = Vertex({0, P(1).centreY, Z(1) - 0.02f * d_.bodyLength}, JointForS(1));
        for (int m = 0; m < around; ++m) {
            int m1 = (m + 1) % around;
            float f0 = static_cast<float>(m) / around, f1 = static_cast<float>(m + 1) / around;
            Tri(prev[m], tip, prev[m1], bodyUv(1, f0), bodyUv(1, (f0 + f1) / 2), bodyUv(1, f1), bodyGroup_,
                V3{0, 0, -1});
        }
    }

    void SmoothBodyNormals() {
        std::vector<V3> acc(m_.vertices.size());
        for (uint16_t ti : m_.groups[bodyGroup_].triangleIndices) {
            const auto& t = m_.triangles[ti];
            V3 a = Pos(t.vertexIndices[0]), b = Pos(t.vertexIndices[1]), c = Pos(t.vertexIndices[2]);
            V3 f = Cross(b - a, c - a);
            for (int k = 0; k < 3; ++k) acc[t.vertexIndices[k]] = acc[t.vertexIndices[k]] + f;
        }
        for (uint16_t ti : m_.groups[bodyGroup_].triangleIndices) {
            auto& t = m_.triangles[ti];
            for (int k = 0; k < 3; ++k) {
                V3 n = Normalize(acc[t.vertexIndices[k]]);
                t.normals[k][0] = n.x;
                t.normals[k][1] = n.y;
                t.normals[k][2] = n.z;
            }
        }
    }

    void MedianFinMesh(const MedianFin& fin, float sign, FinKind kind) {
        const int cols = 10;
        const SkinRect& rect = FinRect(kind);
        std::vector<int> base, tip;
        for (int j = 0; j <= cols; ++j) {
            float p = static_cast<float>(j) / cols;
            float s = fin.s0 + (fin.s1 - fin.s0) * p;
            ProfilePoint pr = P(s);
            float h = SampleStations(fin.heights, p);
            V3 b{0, pr.centreY + sign * pr.halfHeight * 0.9f, Z(s)};
            V3 t = b + V3{0, sign * h, -fin.sweep * h};
            int joint = JointForS(s);
            base.push_back(Vertex(b, joint));
            tip.push_back(Vertex(t, joint));
        }
        for (int j = 0; j < cols; ++j) {
            float p0 = static_cast<float>(j) / cols, p1 = static_cast<float>(j + 1) / cols;
            TwoSided(base[j], tip[j], base[j + 1], InRect(rect, p0, 0), InRect(rect, p0, 1), InRect(rect, p1, 0),
                     V3{1, 0, 0});
            TwoSided(base[j + 1], tip[j], tip[j + 1], InRect(rect, p1, 0), InRect(rect, p0, 1), InRect(rect, p1, 1),
                     V3{1, 0, 0});
        }
    }

    void TailMesh(float splayDeg) {
        const TailFin& tf = d_.tail;
        const int cols = 12;
        const float rowsQ[3] = {0, 0.4f, 1};
        float a = splayDeg * kPi / 180;
        ProfilePoint pe = P(1);
        float z0 = Z(1);
        auto place = [&](float dy, float z) { return V3{-dy * std::sin(a), pe.centreY + dy * std::cos(a), z}; };
        V3 normal{std::cos(a), std::sin(a), 0};
        int tailBase = JointForS(1);
        std::vector<int> rows[3];
        for (int i = 0; i <= cols; ++i) {
            float t = static_cast<float>(i) / cols;
            float u = 2 * t - 1, au = std::fabs(u);
            float len;
            switch (tf.shape) {
                case TailShape::Forked:
                    len = 1 - tf.fork * std::pow(1 - au, 1.3f);
                    break;
                case TailShape::Lunate:
                    len = 1 - tf.fork * (1 - u * u);
                    break;
                case TailShape::Truncate:
                    len = 1 - 0.08f * u * u;
                    break;
                default:
                    len = 0.55f + 0.45f * std::sqrt(std::max(0.0f, 1 - u * u));
                    break;
            }
            len *= tf.length;
            if (tf.streamer > 0 && au > 0.75f) len += tf.streamer * std::pow((au - 0.75f) / 0.25f, 2.0f);
            float baseDy = u * pe.halfHeight * 0.85f;
            float outDy = u * tf.spread;
            for (int r = 0; r < 3; ++r) {
                float q = rowsQ[r];
                V3 p = place(baseDy + (outDy - baseDy) * q, z0 + 0.01f - len * q);
                rows[r].push_back(Vertex(p, r == 0 ? tailBase : rig_.caudal));
            }
        }
        for (int i = 0; i < cols; ++i) {
            float p0 = static_cast<float>(i) / cols, p1 = static_cast<float>(i + 1) / cols;
            for (int r = 0; r < 2; ++r) {
                float q0 = rowsQ[r], q1 = rowsQ[r + 1];
                TwoSided(rows[r][i], rows[r + 1][i], rows[r][i + 1], InRect(kTailRect, p0, q0),
                         InRect(kTailRect, p0, q1), InRect(kTailRect, p1, q0), normal);
                TwoSided(rows[r][i + 1], rows[r + 1][i], rows[r + 1][i + 1], InRect(kTailRect, p1, q0),
                         InRect(kTailRect, p0, q1), InRect(kTailRect, p1, q1), normal);
            }
        }
    }

    // A paddle-shaped paired fin on the given side (+1 left, -1 right).
    void PaddleMesh(const PairedFin& fin, float side, int joint) {
        const int cols = 6;
        float around = fin.aroundDeg * kPi / 180;
        V3 base = Surface(fin.s, around, side);
        base.x -= side * 0.05f * P(fin.s).halfWidth;
        float sp = fin.spreadDeg * kPi / 180, dr = fin.droopDeg * kPi / 180;
        V3 dirLen = Normalize({side * std::sin(sp) * std::cos(dr), -std::sin(dr), -std::cos(sp) * std::cos(dr)});
        V3 up{0, 1, 0};
        V3 dirW = Normalize(up - dirLen * Dot(up, dirLen));
        V3 normal = Normalize(Cross(dirLen, dirW)) * side;
        std::vector<int> top, bottom;
        for (int j = 0; j <= cols; ++j) {
            float a = static_cast<float>(j) / cols;
            float w = fin.width * (0.3f + 0.7f * std::sin(kPi * 0.5f * std::min(1.0f, a / 0.55f)));
            float over = std::max(0.0f, (a - 0.55f) / 0.45f);
            w *= std::sqrt(std::max(0.0f, 1 - over * over));
            V3 c = base + dirLen * (a * fin.length);
            top.push_back(Vertex(c + dirW * w, joint));
            bottom.push_back(Vertex(c - dirW * w, joint));
        }
        for (int j = 0; j < cols; ++j) {
            float p0 = static_cast<float>(j) / cols, p1 = static_cast<float>(j + 1) / cols;
            TwoSided(bottom[j], top[j], bottom[j + 1], InRect(kPairedRect, p0, 0), InRect(kPairedRect, p0, 1),
                     InRect(kPairedRect, p1, 0), normal);
            TwoSided(bottom[j + 1], top[j], top[j + 1], InRect(kPairedRect, p1, 0), InRect(kPairedRect, p0, 1),
                     InRect(kPairedRect, p1, 1), normal);
        }
    }

    void EyeMesh(float side, int joint) {
        const int lat = 6, lon = 10;
        V3 c = jointAbs_[joint];
        float r = d_.eyeRadius;
        auto dir = [&](int k, int j) {
            float phi = kPi * k / lat, lam = 2 * kPi * j / lon;
            return V3{side * std::cos(phi), std::sin(phi) * std::cos(lam), std::sin(phi) * std::sin(lam)};
        };
        auto uvOf = [&](V3 n) {
            // Planar projection of the outward half onto the eye disc; the back half
            // lands on the rim.
            float dz = n.z, dy = n.y;
            float len = std::sqrt(dz * dz + dy * dy);
            if (side * n.x < 0 && len > 1e-6f) {
                dz /= len;
                dy /= len;
            }
            float cx = 0.5f * (kEyeRect.x0 + kEyeRect.x1), cy = 0.5f * (kEyeRect.y0 + kEyeRect.y1);
            float rad = 0.5f * (kEyeRect.x1 - kEyeRect.x0) - kSkinInset;
            return Texel(cx + dz * rad, cy - dy * rad);
        };
        int pole = Vertex(c + dir(0, 0) * r, joint);
        int back = Vertex(c + dir(lat, 0) * r, joint);
        std::vector<std::vector<int>> ring(lat + 1);
        for (int k = 1; k < lat; ++k)
            for (int j = 0; j < lon; ++j) ring[k].push_back(Vertex(c + dir(k, j) * r, joint));
        auto tri = [&](int a, int b, int cc, V3 na, V3 nb, V3 nc) {
            V3 n[3] = {na, nb, nc};
            V3 out = na + nb + nc;
            // Normals must follow the corners if Tri swaps two of them.
            V3 face = Cross(Pos(b) - Pos(a), Pos(cc) - Pos(a));
            if (Dot(face, out) < 0) std::swap(n[1], n[2]);
            Tri(a, b, cc, uvOf(na), uvOf(nb), uvOf(nc), eyeGroup_, out, n);
        };
        for (int j = 0; j < lon; ++j) {
            int j1 = (j + 1) % lon;
            tri(pole, ring[1][j], ring[1][j1], dir(0, 0), dir(1, j), dir(1, j1));
            for (int k = 1; k + 1 < lat; ++k) {
                tri(ring[k][j], ring[k + 1][j], ring[k][j1], dir(k, j), dir(k + 1, j), dir(k, j1));
                tri(ring[k][j1], ring[k + 1][j], ring[k + 1][j1], dir(k, j1), dir(k + 1, j), dir(k + 1, j1));
            }
            tri(back, ring[lat - 1][j1], ring[lat - 1][j], dir(lat, 0), dir(lat - 1, j1), dir(lat - 1, j));
        }
    }

    // Centres the fish on the origin so that its extent (the collision radius) is small.
    void Centre() {
        float lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
        for (const auto& v : m_.vertices)
            for (int k = 0; k < 3; ++k) {
                lo[k] = std::min(lo[k], v.position[k]);
                hi[k] = std::max(hi[k], v.position[k]);
            }
        float off[3] = {0, -(lo[1] + hi[1]) / 2, -(lo[2] + hi[2]) / 2};
        for (auto& v : m_.vertices)
            for (int k = 0; k < 3; ++k) v.position[k] += off[k];
        for (auto& j : jointAbs_) j = j + V3{off[0], off[1], off[2]};
    }

    void FinishJoints() {
        for (size_t i = 0; i < m_.joints.size(); ++i) {
            V3 rel = parents_[i] < 0 ? jointAbs_[i] : jointAbs_[i] - jointAbs_[parents_[i]];
            m_.joints[i].position[0] = rel.x;
            m_.joints[i].position[1] = rel.y;
            m_.joints[i].position[2] = rel.z;
        }
    }

    const SpeciesDesc& d_;
    Ms3dModelDesc& m_;
    FishRig& rig_;
    std::vector<V3> jointAbs_;
    std::vector<int> parents_;
    std::vector<float> spineS_;
    int bodyGroup_ = 0, finGroup_ = 1, eyeGroup_ = 2;
};

}  // namespace

ProfilePoint SampleProfile(const std::vector<ProfilePoint>& pts, float s) {
    if (pts.empty()) return {s, 1, 1, 0};
    if (s <= pts.front().s) return pts.front();
    if (s >= pts.back().s) return pts.back();
    size_t i = 0;
    while (i + 2 < pts.size() && s > pts[i + 1].s) ++i;
    const ProfilePoint& a = pts[i];
    const ProfilePoint& b = pts[i + 1];
    float h = b.s - a.s;
    float t = (s - a.s) / h;
    // Monotone cubic Hermite per channel (Fritsch-Carlson slopes).
    auto channel = [&](auto get) {
        auto slope = [&](size_t k) {
            if (k == 0 || k + 1 >= pts.size()) {
                size_t k0 = k == 0 ? 0 : k - 1;
                return (get(pts[k0 + 1]) - get(pts[k0])) / (pts[k0 + 1].s - pts[k0].s);
            }
            float d0 = (get(pts[k]) - get(pts[k - 1])) / (pts[k].s - pts[k - 1].s);
            float d1 = (get(pts[k + 1]) - get(pts[k])) / (pts[k + 1].s - pts[k].s);
            if (d0 * d1 <= 0) return 0.0f;
            return 2.0f / (1.0f / d0 + 1.0f / d1);
        };
        float y0 = get(a), y1 = get(b), m0 = slope(i) * h, m1 = slope(i + 1) * h;
        float t2 = t * t, t3 = t2 * t;
        return (2 * t3 - 3 * t2 + 1) * y0 + (t3 - 2 * t2 + t) * m0 + (-2 * t3 + 3 * t2) * y1 + (t3 - t2) * m1;
    };
    ProfilePoint r;
    r.s = s;
    r.halfHeight = std::max(0.0f, channel([](const ProfilePoint& p) { return p.halfHeight; }));
    r.halfWidth = std::max(0.0f, channel([](const ProfilePoint& p) { return p.halfWidth; }));
    r.centreY = channel([](const ProfilePoint& p) { return p.centreY; });
    return r;
}

void BuildFishGeometry(const SpeciesDesc& desc, Ms3dModelDesc* model, FishRig* rig) {
    Builder(desc, model, rig).Build();
}

Ms3dModelDesc BuildFishModel(const SpeciesDesc& desc) {
    Ms3dModelDesc model;
    FishRig rig;
    BuildFishGeometry(desc, &model, &rig);
    AddFishMotion(desc, rig, &model);
    return model;
}

}  // namespace reefpack
