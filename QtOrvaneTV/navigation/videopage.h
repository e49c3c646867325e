#ifndef VIDEOPAGE_H
#define VIDEOPAGE_H

// A page of the navigation stack that plays video: the stack starts it when it
// is pushed and stops it when it is popped, before the page goes away.
class VideoPage
{
public:
    virtual ~VideoPage() = default;
    virtual void start() { }
    virtual void stop() { }
};

#endif // VIDEOPAGE_H
