#include "ConnectingClient.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

#include <algorithm>
#include <vector>

namespace {
// The server reads the connect request's text adaptively Huffman coded. Both ends start with
// a tree of one leaf that stands for "a byte not seen yet". A byte already seen goes as the path
// from the root to its leaf (1 for a right branch); a new one as the path to that leaf and
// then its eight bits, highest first. After each byte both ends grow and reweigh the tree in
// the same way, so the coder keeps a tree node for node like the server's.
struct AdaptiveTree {
    void code(uchar byte, std::vector<bool>* bits) const
    {
        const bool seen = m_leaf[byte] >= 0;
        const size_t at = bits->size();
        for (int x = seen ? m_leaf[byte] : 0; m_n[x].parent >= 0; x = m_n[x].parent)
            bits->insert(bits->begin() + at, m_n[m_n[x].parent].right == x);
        for (int i = 7; !seen && i >= 0; --i)
            bits->push_back((byte >> i) & 1);
    }

    void add(uchar byte)
    {
        if (m_leaf[byte] >= 0)
            return raise(m_leaf[byte]);
        // The "not seen" leaf becomes the left child of a new inner node, the byte's new leaf
        // its right; both come just after that leaf in the weight order.
        const int parent = m_n[0].parent, inner = int(m_n.size()), leaf = inner + 1;
        m_n.push_back({parent, 0, leaf, 1});
        m_n.push_back({inner, -1, -1, 1});
        childSlot(parent, 0) = inner;
        m_n[0].parent = inner;
        m_order.insert(m_order.begin() + 1, {leaf, inner});
        m_leaf[byte] = leaf;
        raise(parent);
    }

    struct Node {
        int parent, left, right, weight;
    };
    int& childSlot(int parent, int child) { return parent < 0 ? m_root : m_n[parent].left == child ? m_n[parent].left : m_n[parent].right; }
    int rank(int x) const { return int(std::find(m_order.begin(), m_order.end(), x) - m_order.begin()); }

    // A node about to gain weight first trades places in the order with the last node of its
    // weight, and in the tree too unless that node is its parent; its parent gains weight
    // next and, when it then sits just before the node in the order, the two trade places there.
    void raise(int x)
    {
        if (x < 0)
            return;
        const int at = rank(x);
        int last = at;
        while (last + 1 < int(m_order.size()) && m_n[m_order[last + 1]].weight == m_n[x].weight)
            ++last;
        if (last > at) {
            const int y = m_order[last];
            if (y != m_n[x].parent) {
                const int py = m_n[y].parent, px = m_n[x].parent;
                childSlot(py, y) = x;
                childSlot(px, x) = y;
                m_n[y].parent = px;
                m_n[x].parent = py;
            }
            std::swap(m_order[at], m_order[last]);
        }
        ++m_n[x].weight;
        const int parent = m_n[x].parent;
        if (parent < 0)
            return;
        raise(parent);
        const int now = rank(x);
        if (now > 0 && m_order[now - 1] == parent)
            std::swap(m_order[now - 1], m_order[now]);
    }

    std::vector<Node> m_n{{-1, -1, -1, 0}};  // node 0: the "not seen yet" leaf
    std::vector<int> m_order{0};              // lightest first
    std::vector<int> m_leaf = std::vector<int>(256, -1);
    int m_root = 0;
};

// The length of the text (two bytes, high first), then its code, bits filling each byte
// from the lowest.
QByteArray HuffmanCoded(const QByteArray& text)
{
    AdaptiveTree tree;
    std::vector<bool> bits;
    for (const char c : text) {
        tree.code(uchar(c), &bits);
        tree.add(uchar(c));
    }
    QByteArray out(2 + int(bits.size()) / 8 + 1, '\0');
    out[0] = char(text.size() >> 8);
    out[1] = char(text.size() & 0xff);
    for (size_t i = 0; i < bits.size(); ++i)
        out[int(2 + i / 8)] = char(out[int(2 + i / 8)] | bits[i] << (i % 8));
    return out;
}
}

QString ConnectAndStall(quint16 port, const QByteArray& name)
{
    QUdpSocket socket;
    socket.bind(QHostAddress::LocalHost, 0);
    auto ask = [&](const QByteArray& request) {
        socket.writeDatagram(QByteArray(4, '\xff') + request, QHostAddress::LocalHost, port);
        return socket.waitForReadyRead(5000) ? socket.receiveDatagram().data().mid(4) : QByteArray("(no answer)");
    };
    // "challengeResponse CHALLENGE 7 PROTOCOL": the number to send back, the one this client
    // sent, and the server's protocol version.
    const QByteArray challenge = ask("getchallenge 7");
    const QList<QByteArray> words = challenge.split(' ');
    if (words.size() < 4 || words[0] != "challengeResponse")
        return QStringLiteral("getchallenge answered: ") + QString::fromLatin1(challenge);
    // The game refuses a client without a GUID.
    const QByteArray info = "\"\\challenge\\" + words[1] + "\\qport\\" + QByteArray::number(socket.localPort()) + "\\protocol\\"
        + words[3] + "\\name\\" + name + "\\cl_guid\\0123456789ABCDEF0123456789ABCDEF\"";
    // Only what follows "connect " is coded.
    const QByteArray answer = ask("connect " + HuffmanCoded(info));
    return answer.startsWith("connectResponse ") ? QString() : QStringLiteral("connect answered: ") + QString::fromLatin1(answer);
}
