// The picture on the page, as large as the window allows. Where a whole
// number of device pixels per picture pixel fills at least 90 % of the
// window's limiting side, the canvas holds the 640 by 400 picture itself and
// the browser enlarges it without smoothing: pixel for pixel the picture.
// Elsewhere (a phone, a small window) the picture fills the limiting side:
// enlarged without smoothing by the next whole number into a canvas off
// screen, then drawn down smoothly into a canvas of the screen's own pixels,
// so that its edges stay crisp. Either way the canvas sits on whole device
// pixels, centred on black.
'use strict';

const PICTURE_WIDTH = 640, PICTURE_HEIGHT = 400;
const WHOLE_SCALE_FILLS = 0.9;

function createPicture(canvas) {
  const context = canvas.getContext('2d');
  const image = context.createImageData(PICTURE_WIDTH, PICTURE_HEIGHT);
  const picture = document.createElement('canvas');
  picture.width = PICTURE_WIDTH;
  picture.height = PICTURE_HEIGHT;
  const enlarged = document.createElement('canvas');
  let whole = true;

  function draw() {
    if (whole) {
      context.putImageData(image, 0, 0);
      return;
    }
    picture.getContext('2d').putImageData(image, 0, 0);
    const large = enlarged.getContext('2d');
    large.imageSmoothingEnabled = false;
    large.drawImage(picture, 0, 0, enlarged.width, enlarged.height);
    context.imageSmoothingEnabled = true;
    context.imageSmoothingQuality = 'high';
    context.drawImage(enlarged, 0, 0, canvas.width, canvas.height);
  }

  function fit() {
    const ratio = window.devicePixelRatio || 1;
    const screenWidth = Math.round(innerWidth * ratio), screenHeight = Math.round(innerHeight * ratio);
    const fills = Math.min(screenWidth / PICTURE_WIDTH, screenHeight / PICTURE_HEIGHT);
    const scale = Math.floor(fills);
    whole = scale >= 1 && scale >= WHOLE_SCALE_FILLS * fills;
    const width = whole ? PICTURE_WIDTH * scale : Math.round(PICTURE_WIDTH * fills);
    const height = whole ? PICTURE_HEIGHT * scale : Math.round(PICTURE_HEIGHT * fills);
    const backing = whole ? [PICTURE_WIDTH, PICTURE_HEIGHT] : [width, height];
    if (canvas.width !== backing[0] || canvas.height !== backing[1]) [canvas.width, canvas.height] = backing;
    if (!whole) {
      enlarged.width = PICTURE_WIDTH * (scale + 1);
      enlarged.height = PICTURE_HEIGHT * (scale + 1);
    }
    canvas.style.imageRendering = whole ? 'pixelated' : 'auto';
    canvas.style.width = width / ratio + 'px';
    canvas.style.height = height / ratio + 'px';
    canvas.style.left = Math.floor((screenWidth - width) / 2) / ratio + 'px';
    canvas.style.top = Math.floor((screenHeight - height) / 2) / ratio + 'px';
    draw();
  }

  addEventListener('resize', fit);
  fit();
  return {
    // Shows a picture: 640 by 400 pixels of red, green, blue and alpha bytes.
    show(rgba) {
      image.data.set(rgba);
      draw();
    },
  };
}
