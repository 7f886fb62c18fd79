// An observer that writes down every change the document tells it of, in order.
#pragma once

#include "document/csotavo_doc.h"
#include "document/document_observer.h"

#include <algorithm>
#include <vector>

namespace velanox::test {

class RecordingObserver final : public document::DocumentObserver {
public:
    /// Listens to doc until destroyed.
    explicit RecordingObserver(document::CSotavoDoc& doc) : m_doc(doc) { m_doc.addObserver(*this); }
    ~RecordingObserver() override { m_doc.removeObserver(*this); }
    RecordingObserver(const RecordingObserver&) = delete;
    RecordingObserver& operator=(const RecordingObserver&) = delete;

    void documentChanged(document::DocumentChange change) override { changes.push_back(change); }

    int count(document::DocumentChange change) const {
        return int(std::count(changes.begin(), changes.end(), change));
    }
    void clear() { changes.clear(); }

    std::vector<document::DocumentChange> changes;

private:
    document::CSotavoDoc& m_doc;
};

} // namespace velanox::test
