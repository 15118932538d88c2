#pragma once
// RxDBLProject: the report panel's list of the ads, one entry per record of
// the ad record set showing its NAME. It shares the set's current record
// with the ad grid of the projects panel, so choosing an ad here chooses it
// there and the other way round.
#include <QListView>
#include <QPointer>
#include <memory>

#include "engine/base/record_set.h"

namespace adw::ui {

class RecordSetModel;

class ReportList {
 public:
  // The list follows the set from now on; the set must outlive this object.
  ReportList(QListView* view, adw::engine::RecordSet& ads);
  ~ReportList();
  ReportList(const ReportList&) = delete;
  ReportList& operator=(const ReportList&) = delete;

  RecordSetModel* Model() const { return m_model.get(); }

 private:
  QPointer<QListView> m_view;
  std::unique_ptr<RecordSetModel> m_model;
};

}  // namespace adw::ui
