// The course dialog's behaviour: what it shows of the learning path, and what the learner's
// choices ask of it.
#pragma once

#include <functional>
#include <string>

#include "training/course_progress.h"

namespace kelvak {

// Everything the course dialog shows of one set's course.
struct CourseShown {
  bool on = false;
  int set = 1;  // 0 digits, 1 letters, 2 mixture
  int lesson = 1;
  int lessonCount = 1;
  std::string lessonCountText;  // beside the lesson: of how many
  std::string characters;       // the lesson's characters and which is new
  int passed = 0;               // characters so far, on a bar of passedOf
  int passedOf = 1;
  std::string steps;  // the last moves of this set, one a line
  std::string rule;   // when the next lesson opens, and with which character
};

class CourseView {
 public:
  virtual ~CourseView() = default;
  virtual void showCourse(const CourseShown& shown) = 0;
};

// What the dialog's choices do, at once, to the learning path.
struct CourseActions {
  std::function<const CourseProgress&()> progress;
  std::function<void(bool on)> setCourseOn;
  std::function<void(int set, int lesson)> chooseLesson;
};

class CoursePresenter {
 public:
  CoursePresenter(CourseView& view, CourseActions actions);

  // Shows the course of this set (the window's text kind) and special signs.
  void refresh(int set, bool specialSigns);

  // --- the learner's events; those the showing itself causes change nothing ---
  void onToggled(bool on);
  void setChosen(int set);
  void lessonChosen(int lesson);

 private:
  CourseView& view_;
  CourseActions actions_;
  int set_ = 1;
  bool filling_ = false;  // the view is being set from the course, not by the learner
};

}  // namespace kelvak
